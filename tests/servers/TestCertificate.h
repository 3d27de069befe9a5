// A self-signed certificate for 127.0.0.1, made at test time, so that a
// server speaks https and a client trusts it through SSL_CERT_FILE.
#pragma once

#include <string>

namespace servers {

struct TestCertificate {
    std::string certificateFile; // PEM; what SSL_CERT_FILE names
    std::string keyFile;         // PEM, unencrypted
    bool ok() const { return !certificateFile.empty(); }
};

// Made once per process in ProcessFolder(), for IP 127.0.0.1 and the name
// localhost; empty paths when it could not be made.
const TestCertificate& LoopbackCertificate();

} // namespace servers
