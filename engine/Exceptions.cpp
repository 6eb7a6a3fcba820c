#include "Exceptions.h"

EParserError::EParserError(const std::string& reason, int line)
    : Exception(reason + " on line " + std::to_string(line)), FLine(line)
{
}

EListError::EListError(long long index)
    : Exception("List index out of bounds (" + std::to_string(index) + ")")
{
}

EFOpenError::EFOpenError(const std::string& fullPath, const std::string& reason)
    : EStreamError("Cannot open file \"" + fullPath + "\". " + reason), FReason(reason)
{
}

EFCreateError::EFCreateError(const std::string& fullPath, const std::string& reason)
    : EStreamError("Cannot create file \"" + fullPath + "\". " + reason)
{
}

EWriteError::EWriteError() : EStreamError("Stream write error") {}
