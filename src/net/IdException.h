#pragma once

#include <stdexcept>
#include <string>

// The root of every failure the mail library reports. Each carries its message text;
// the units that raise them derive their own kinds from it.
class EIdException : public std::runtime_error {
public:
    explicit EIdException(const std::string& message) : std::runtime_error(message) {}
};

// Failures the caller expects in normal operation and usually handles quietly.
class EIdSilentException : public EIdException {
public:
    using EIdException::EIdException;
};
