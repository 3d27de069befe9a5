// Command-line options as a table: each entry names an option and parses its
// value, so a command gains an option by gaining an entry.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Option {
    std::string name;      // "--volume"
    std::string valueName; // shown in the usage line: "0..100"
    // Takes the option's value; false when the value is not acceptable.
    std::function<bool(const std::string& value)> take;
};

// Splits arguments into the positional ones and the table's options (each
// followed by its value). False, with a one-line reason, on an unknown
// option, a missing or bad value.
bool ParseArguments(const std::vector<std::string>& arguments, const std::vector<Option>& table,
                    std::vector<std::string>& positional, std::string& error);

// ParseArguments, and then exactly positionalCount positional arguments;
// else the usage line "usage: <usage> [--option VALUE]..." is the reason.
bool ParseCommandLine(const std::vector<std::string>& arguments, const std::vector<Option>& table,
                      size_t positionalCount, const std::string& usage,
                      std::vector<std::string>& positional, std::string& error);

// " [--start S] [--duration S]" for the usage line.
std::string OptionsUsage(const std::vector<Option>& table);

// Whole text as a number within [min, max].
bool ParseNumber(const std::string& text, double min, double max, double& value);
bool ParseInteger(const std::string& text, int min, int max, int& value);
