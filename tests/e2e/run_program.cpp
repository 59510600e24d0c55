#include "tests/e2e/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qm::test {

int startQuillmere(const std::vector<std::string>& args, const std::string& outFile,
                   const std::string& errFile, const std::vector<std::string>& env) {
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        std::string program = std::string(QM_BINARY_DIR) + "/quillmere";
        std::vector<char*> argv;
        argv.push_back(program.data());
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int startQuillmere(const std::vector<std::string>& args, const std::string& outFile,
                   const std::string& errFile) {
    return startQuillmere(args, outFile, errFile, {});
}

int waitFor(int pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

ProgramResult runQuillmere(const std::vector<std::string>& args,
                           const std::vector<std::string>& env) {
    std::string folder = makeTempFolder();
    std::string out = folder + "/stdout", err = folder + "/stderr";
    ProgramResult r;
    r.status = waitFor(startQuillmere(args, out, err, env));
    r.out = readFile(out);
    r.err = readFile(err);
    return r;
}

std::string makeTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillmere-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace qm::test
