#include <gtest/gtest.h>

#include "app/crash.h"
#include "app/log.h"
#include "platform/folders.h"
#include "test_support.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace fs = std::filesystem;
using testsupport::IsolatedHome;
using testsupport::readFile;
using testsupport::ScopedEnv;

namespace {

// The faults are deliberate; the sanitizers must not report them before the
// signal does.
#define NO_SANITIZE __attribute__((noinline, no_sanitize("address", "undefined", "thread")))

int* volatile g_null = nullptr;
volatile int g_zero = 0;

NO_SANITIZE void writeThroughNull() {
    *g_null = 42;
}
NO_SANITIZE void writeAt(int* p) {
    *static_cast<volatile int*>(p) = 1;
}
NO_SANITIZE int divideByZero() {
    return 7 / g_zero;
}
NO_SANITIZE void illegalInstruction() {
    __builtin_trap();
}

}  // namespace

TEST(GuardedScope, NullWriteBecomesExceptionAndTheProgramGoesOn) {
    app::installSehTranslator();
    for (int round = 0; round < 3; ++round) {
        try {
            app::runGuarded([] { writeThroughNull(); });
            FAIL() << "no exception";
        } catch (const app::CSEHException& e) {
            EXPECT_EQ(e.code, static_cast<std::uint32_t>(SIGSEGV));
            EXPECT_EQ(e.address(), 0u);
            EXPECT_EQ(e.record.code, e.code);
            EXPECT_NE(e.record.instruction, 0u);
            std::string line = app::describeFault(e, "update.cpp", 120);
            EXPECT_EQ(line, "Type=1 File=update.cpp Line=120 ExceptCode=b Address=0");
        }
    }
    // Results pass through, ordinary exceptions keep their type, and nothing is
    // left guarded afterwards.
    EXPECT_EQ(app::runGuarded([] { return 5; }), 5);
    EXPECT_THROW(app::runGuarded([] { throw std::runtime_error("x"); }), std::runtime_error);
    EXPECT_EQ(app::describeOtherException("update.cpp", 9), "Type=5 File=update.cpp Line=9");
}

TEST(GuardedScope, OtherFaultKindsAndAddresses) {
    try {
        app::runGuarded([] { return divideByZero(); });
        FAIL();
    } catch (const app::CSEHException& e) {
        EXPECT_EQ(e.code, static_cast<std::uint32_t>(SIGFPE));
    }
    try {
        app::runGuarded([] { illegalInstruction(); });
        FAIL();
    } catch (const app::CSEHException& e) {
        EXPECT_EQ(e.code, static_cast<std::uint32_t>(SIGILL));
    }
    // A page that is mapped but unwritable: the exact faulting address comes back.
    void* page = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    int* target = static_cast<int*>(page) + 3;
    try {
        app::runGuarded([&] { writeAt(target); });
        FAIL();
    } catch (const app::CSEHException& e) {
        EXPECT_EQ(e.code, static_cast<std::uint32_t>(SIGSEGV));
        EXPECT_EQ(e.address(), reinterpret_cast<std::uintptr_t>(target));
    }
    ::munmap(page, 4096);
    // A mapped file cut short: touching beyond its end is SIGBUS.
    testsupport::TempDir dir;
    fs::path file = dir / "short";
    testsupport::writeFile(file, std::string(100, 'x'));
    int fd = ::open(file.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    void* map = ::mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    ASSERT_NE(map, MAP_FAILED);
    try {
        app::runGuarded([&] { writeAt(static_cast<int*>(map) + 1500); });
        FAIL();
    } catch (const app::CSEHException& e) {
        EXPECT_EQ(e.code, static_cast<std::uint32_t>(SIGBUS));
    }
    ::munmap(map, 8192);
}

TEST(GuardedScope, NestedScopesAndThreadsKeepTheirOwnFaults) {
    // The inner scope catches its own fault; the outer one stays armed.
    int caught_inner = 0;
    try {
        app::runGuarded([&] {
            try {
                app::runGuarded([] { writeThroughNull(); });
            } catch (const app::CSEHException&) {
                ++caught_inner;
            }
            writeAt(reinterpret_cast<int*>(64));
        });
        FAIL();
    } catch (const app::CSEHException& e) {
        EXPECT_EQ(caught_inner, 1);
        EXPECT_EQ(e.address(), 64u);
    }

    std::atomic<int> ok{0};
    std::vector<std::thread> threads;
    for (int t = 1; t <= 4; ++t) {
        threads.emplace_back([t, &ok] {
            app::installSehTranslator();
            for (int i = 0; i < 20; ++i) {
                auto* where = reinterpret_cast<int*>(static_cast<std::uintptr_t>(t * 256 + 8));
                try {
                    app::runGuarded([&] { writeAt(where); });
                } catch (const app::CSEHException& e) {
                    if (e.address() == reinterpret_cast<std::uintptr_t>(where))
                        ++ok;
                }
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(ok.load(), 80);
}

TEST(CrashReport, UnguardedFaultLeavesErrorTmpInTheDataFolder) {
    IsolatedHome home;
    fs::path report = app::crashReportPath();
    EXPECT_EQ(report, platform::dataDir() / "Error.tmp");
    fs::remove(report);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(STDERR_FILENO);  // keep the crash message out of the test output
        app::installCrashHandler();
        writeThroughNull();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    // Without a sanitizer the default action ends the process with the signal; a
    // sanitizer's own handler, chained after ours, exits with an error instead.
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(fs::exists(report));
    std::string text = readFile(report);
    EXPECT_NE(text.find("signal: 11 (SIGSEGV)"), std::string::npos) << text;
    EXPECT_NE(text.find("address: 0x0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("backtrace:\n"), std::string::npos) << text;
}
