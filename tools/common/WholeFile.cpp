#include "tools/common/WholeFile.h"

#include <unistd.h>

#include "files/RegularFile.h"
#include "files/ReplaceFile.h"

bool WriteFileWhole(const std::string& path, const void* data, size_t size, std::string& error)
{
    std::string problem;
    if (!ReplaceFileWhole(path.c_str(), data, size, problem)) {
        error = path + ": " + problem;
        return false;
    }
    return true;
}

bool WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error)
{
    return WriteFileWhole(path, bytes.data(), bytes.size(), error);
}

bool ReadFileWhole(const std::string& path, std::vector<uint8_t>& bytes, std::string& error)
{
    std::string problem;
    if (!ReadRegularFile(path.c_str(), bytes, problem)) {
        error = path + ": " + problem;
        return false;
    }
    return true;
}

bool ReadStandardInput(std::vector<uint8_t>& bytes, std::string& error)
{
    std::string problem;
    if (!ReadDescriptor(STDIN_FILENO, bytes, problem)) {
        error = "standard input: " + problem;
        return false;
    }
    return true;
}
