#pragma once

#include <stdexcept>
#include <string>

// Base of every error the engine raises; what() is the message shown to the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// The tokenizer's and loader's "<reason> on line <n>".
class EParserError : public Exception {
public:
    EParserError(const std::string& reason, int line);
    int Line() const { return FLine; }

private:
    int FLine;
};

// "List index out of bounds (<index>)" from the children and parameter lists.
class EListError : public Exception {
public:
    explicit EListError(long long index);
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// "Cannot open file "<full path>". <system reason>"
class EFOpenError : public EStreamError {
public:
    EFOpenError(const std::string& fullPath, const std::string& reason);
    // Why the file could not be opened ("Not a regular file", the system's reason).
    const std::string& Reason() const { return FReason; }

private:
    std::string FReason;
};

// "Cannot create file "<full path>". <system reason>"
class EFCreateError : public EStreamError {
public:
    EFCreateError(const std::string& fullPath, const std::string& reason);
};

// "Stream write error"
class EWriteError : public EStreamError {
public:
    EWriteError();
};
