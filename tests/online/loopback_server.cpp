#include "loopback_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "online/usage_reporter.h"
#include "test_support.h"

namespace onlinetest {

Json::Value parseJson(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, nullptr)) << text;
    return value;
}

std::string reportJson(const std::string& form_body) {
    if (!form_body.starts_with("data="))
        return {};
    std::string cipher;
    for (size_t i = 5; i < form_body.size(); ++i) {
        if (form_body[i] == '%' && i + 2 < form_body.size()) {
            cipher += static_cast<char>(std::stoi(form_body.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            cipher += form_body[i];
        }
    }
    return online::decryptReport(cipher);
}

bool makeCertificates(const std::filesystem::path& dir, Certificates& out) {
    out.ca = dir / "ca.pem";
    out.cert = dir / "server.pem";
    out.key = dir / "server.key";
    out.wrong_cert = dir / "wrong.pem";
    out.wrong_key = dir / "wrong.key";
    const auto ca_key = (dir / "ca.key").string();
    const auto csr = (dir / "server.csr").string();
    const auto ext = dir / "ext.cnf";
    testsupport::writeFile(ext, "subjectAltName=IP:127.0.0.1\n");
    const std::vector<std::vector<std::string>> steps = {
        {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", ca_key, "-out", out.ca.string(), "-days", "2", "-subj", "/CN=Quorin Test Authority"},
        {"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
         out.key.string(), "-out", csr, "-subj", "/CN=127.0.0.1"},
        {"openssl", "x509", "-req", "-in", csr, "-CA", out.ca.string(), "-CAkey", ca_key, "-CAcreateserial",
         "-out", out.cert.string(), "-days", "2", "-extfile", ext.string()},
        {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", out.wrong_key.string(), "-out", out.wrong_cert.string(), "-days", "2", "-subj",
         "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"},
    };
    for (const auto& step : steps) {
        if (testsupport::runTool(step).exit_code != 0)
            return false;
    }
    return true;
}

LoopbackServer::LoopbackServer(std::filesystem::path root, const std::filesystem::path& cert,
                               const std::filesystem::path& key)
    : root_(std::move(root)), log_(root_.string() + ".requests"), tls_(!cert.empty()) {
    std::filesystem::create_directories(root_);
    testsupport::writeFile(log_, "");
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return;
    const std::string script = std::string(QUORIN_TEST_SOURCE_DIR) + "/tests/online/loopback_server.py";
    std::vector<std::string> argv = {"python3", script, "--root", root_.string(), "--log", log_.string()};
    if (tls_) {
        argv.insert(argv.end(), {"--cert", cert.string(), "--key", key.string()});
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        execvp("python3", args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdin_fd_ = in[1];
    FILE* port_line = fdopen(out[0], "r");
    if (port_line) {
        if (std::fscanf(port_line, "%d", &port_) != 1)
            port_ = 0;
        std::fclose(port_line);
    }
}

LoopbackServer::~LoopbackServer() {
    if (stdin_fd_ >= 0)
        close(stdin_fd_);
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string LoopbackServer::base() const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

void LoopbackServer::put(const std::string& path, const std::string& bytes) const {
    const auto file = root_ / path;
    std::filesystem::create_directories(file.parent_path());
    testsupport::writeFile(file, bytes);
}

std::vector<std::string> LoopbackServer::requests() const {
    std::vector<std::string> lines;
    std::istringstream in(testsupport::readFile(log_));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

}  // namespace onlinetest
