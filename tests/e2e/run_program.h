// Running the built quillmere program from tests.
#pragma once

#include <string>
#include <vector>

namespace qm::test {

struct ProgramResult {
    int status = -1;  // exit status; 128 + signal when killed
    std::string out, err;
};

// Runs QM_BINARY_DIR/quillmere with the arguments; env entries "NAME=value"
// are added to this process's environment for the child.
ProgramResult runQuillmere(const std::vector<std::string>& args,
                           const std::vector<std::string>& env = {});

// Starts it in the background: the child's pid; output goes to the files.
int startQuillmere(const std::vector<std::string>& args, const std::string& outFile,
                   const std::string& errFile);
int waitFor(int pid);

// A fresh empty folder under the system's temporary folder.
std::string makeTempFolder();
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);

}  // namespace qm::test
