#pragma once
// A private folder under /tmp for one test, removed with its content afterwards.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

class TempFolder {
public:
    TempFolder()
    {
        char name[] = "/tmp/qpedit-test-XXXXXX";
        char* made = mkdtemp(name);
        path = made ? made : "/tmp";
    }
    ~TempFolder()
    {
        std::string command = "rm -rf '" + path + "'";
        if (path != "/tmp" && std::system(command.c_str()) != 0) {
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path(const std::string& name) const { return path + "/" + name; }
    const std::string& Root() const { return path; }

    // The names in the folder, sorted, without "." and "..".
    std::vector<std::string> List() const
    {
        std::vector<std::string> names;
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..")
                    names.push_back(n);
            }
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path;
};
