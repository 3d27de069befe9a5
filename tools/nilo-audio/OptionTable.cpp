#include "OptionTable.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

bool ParseArguments(const std::vector<std::string>& arguments, const std::vector<Option>& table,
                    std::vector<std::string>& positional, std::string& error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.rfind("--", 0) != 0) {
            positional.push_back(argument);
            continue;
        }
        const Option* option = nullptr;
        for (const Option& candidate : table) {
            if (candidate.name == argument) option = &candidate;
        }
        if (!option) {
            error = "unknown option " + argument;
            return false;
        }
        if (i + 1 == arguments.size()) {
            error = argument + " needs a value (" + option->valueName + ")";
            return false;
        }
        const std::string& value = arguments[++i];
        if (!option->take(value)) {
            error = "bad value for " + argument + ": " + value + " (" + option->valueName + ")";
            return false;
        }
    }
    return true;
}

bool ParseCommandLine(const std::vector<std::string>& arguments, const std::vector<Option>& table,
                      size_t positionalCount, const std::string& usage,
                      std::vector<std::string>& positional, std::string& error) {
    if (!ParseArguments(arguments, table, positional, error)) return false;
    if (positional.size() == positionalCount) return true;
    error = "usage: " + usage + OptionsUsage(table);
    return false;
}

std::string OptionsUsage(const std::vector<Option>& table) {
    std::string usage;
    for (const Option& option : table) usage += " [" + option.name + " " + option.valueName + "]";
    return usage;
}

bool ParseNumber(const std::string& text, double min, double max, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(parsed) || parsed < min || parsed > max)
        return false;
    value = parsed;
    return true;
}

bool ParseInteger(const std::string& text, int min, int max, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < min || parsed > max) return false;
    value = static_cast<int>(parsed);
    return true;
}
