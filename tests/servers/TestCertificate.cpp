#include "tests/servers/TestCertificate.h"

#include "tests/servers/ProcessFolder.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace servers {
namespace {

template <auto Free> struct Deleter {
    template <typename T> void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;

bool WritePem(const std::string& path, const std::function<int(FILE*)>& write)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        return false;
    const bool written = write(file) == 1;
    return std::fclose(file) == 0 && written;
}

Certificate SelfSigned(EVP_PKEY* key)
{
    Certificate cert(X509_new());
    if (!cert)
        return nullptr;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7L * 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                               -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
    Extension names(X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"));
    if (!names || X509_add_ext(cert.get(), names.get(), -1) != 1 || X509_sign(cert.get(), key, EVP_sha256()) == 0)
        return nullptr;
    return cert;
}

TestCertificate Make()
{
    if (ProcessFolder().empty())
        return {};
    Key key(EVP_EC_gen("P-256"));
    Certificate cert = key ? SelfSigned(key.get()) : nullptr;
    const TestCertificate made{ProcessFolder() + "/loopback-cert.pem", ProcessFolder() + "/loopback-key.pem"};
    if (!cert || !WritePem(made.certificateFile, [&](FILE* f) { return PEM_write_X509(f, cert.get()); })
        || !WritePem(made.keyFile, [&](FILE* f) {
               return PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
           }))
        return {};
    return made;
}

} // namespace

const TestCertificate& LoopbackCertificate()
{
    static const TestCertificate certificate = Make();
    return certificate;
}

} // namespace servers
