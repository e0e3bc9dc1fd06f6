#pragma once
// A private folder under /tmp for one test, removed with its content afterwards,
// and the file bytes the tests compare.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <stdlib.h>

#include "effect/EffectFile.h"

using Bytes = std::vector<unsigned char>;

struct TempFolder {
    TempFolder()
    {
        if (!mkdtemp(&root[0]))
            root = "/nonexistent";
    }
    ~TempFolder() { std::filesystem::remove_all(root, ignored); }

    std::string Path(const std::string& name) const { return root + "/" + name; }
    long Count() const { return std::distance(std::filesystem::directory_iterator(root), {}); }  // of its entries

    std::string root = "/tmp/qpedit-test-XXXXXX";
    std::error_code ignored;  // of the removal
};

inline Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The record of `s` as the tested writer encodes it.
inline Bytes Record(const EmitterSettings& s)
{
    unsigned char out[EFFECT_FILE_CONE_SIZE];
    return Bytes(out, out + EncodeEffect(s, out));
}
