#pragma once
// A real HTTP or HTTPS server on 127.0.0.1 for the online tests (loopback_server.py),
// serving files of a folder, with certificates made by openssl at test time.

#include "test_support.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <string>
#include <vector>

namespace onlinetest {

struct Certificates {
    std::filesystem::path ca;                     // the authority the client trusts
    std::filesystem::path cert, key;              // signed by it, for 127.0.0.1
    std::filesystem::path wrong_cert, wrong_key;  // self-signed, for 127.0.0.1
};
// Makes them in `dir` (false when openssl fails).
bool makeCertificates(const std::filesystem::path& dir, Certificates& out);

// A fixture whose suite shares one set of certificates, made in a folder of its own
// before the suite's first test and removed after its last.
class CertificateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TempDir;
        certs_ = new Certificates;
        ASSERT_TRUE(makeCertificates(dir_->path(), *certs_));
    }
    static void TearDownTestSuite() {
        delete certs_;
        certs_ = nullptr;
        delete dir_;
        dir_ = nullptr;
    }

    static inline testsupport::TempDir* dir_ = nullptr;
    static inline Certificates* certs_ = nullptr;
};

// A JSON text parsed (a test failure when it is none).
Json::Value parseJson(const std::string& text);
// The JSON a usage report's form body "data=<escaped base64 cipher>" carries.
std::string reportJson(const std::string& form_body);

class LoopbackServer {
public:
    // Serves `root`; with `cert` and `key` over TLS.
    explicit LoopbackServer(std::filesystem::path root, const std::filesystem::path& cert = {},
                            const std::filesystem::path& key = {});
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    // "http://127.0.0.1:<port>" or "https://...".
    std::string base() const;
    // Writes a file below the root (parents made).
    void put(const std::string& path, const std::string& bytes) const;
    // The requests so far, one JSON line each.
    std::vector<std::string> requests() const;

private:
    std::filesystem::path root_, log_;
    bool tls_ = false;
    int pid_ = -1;
    int stdin_fd_ = -1;
    int port_ = 0;
};

}  // namespace onlinetest
