#include "app/crash.h"

#include "app/language.h"
#include "platform/folders.h"

#include <execinfo.h>
#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace app {

struct FaultContext {
    mcontext_t registers;
};

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

struct GuardFrame {
    sigjmp_buf jmp;
    GuardFrame* prev;
};

struct FaultInfo {
    std::uint32_t code;
    ExceptionRecord record;
    mcontext_t context;
};

// Per thread and trivially initialised, so the handler can touch them safely.
thread_local GuardFrame* t_top = nullptr;
thread_local FaultInfo t_fault;

// Written once by installHandlers() before any handler can run.
struct sigaction g_previous[NSIG];

// The crash report: prepared at installCrashHandler() because nothing may allocate
// inside the handler.
char g_report_path[PATH_MAX];
char g_except_text[1024];
std::atomic<bool> g_report_enabled{false};
std::atomic<bool> g_report_written{false};

const char* signalName(int sig) {
    switch (sig) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGFPE:
            return "SIGFPE";
        case SIGILL:
            return "SIGILL";
    }
    return "signal";
}

std::uintptr_t instructionPointer(const ucontext_t* uc) {
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
#else
    (void)uc;
    return 0;
#endif
}

// Async-signal-safe text building into a fixed buffer.
struct SafeText {
    char data[2048];
    std::size_t size = 0;
    void add(const char* text) {
        while (*text && size + 1 < sizeof data)
            data[size++] = *text++;
        data[size] = '\0';
    }
    void addHex(std::uintptr_t value) {
        char digits[2 + sizeof value * 2 + 1];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[value & 0xF];
            value >>= 4;
        } while (value);
        char out[sizeof digits + 2] = "0x";
        int k = 2;
        while (n)
            out[k++] = digits[--n];
        out[k] = '\0';
        add(out);
    }
    void addDec(long value) {
        char out[24];
        int k = 0;
        bool neg = value < 0;
        unsigned long v = neg ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
        char digits[24];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        if (neg)
            out[k++] = '-';
        while (n)
            out[k++] = digits[--n];
        out[k] = '\0';
        add(out);
    }
};

// The "ExceptInfo" text with its first two conversions filled with the signal and
// the address; any further conversion is dropped (never handed to printf).
void addExceptInfo(SafeText& out, int sig, std::uintptr_t address) {
    const char* p = g_except_text;
    int filled = 0;
    while (*p) {
        if (*p != '%') {
            char one[2] = {*p++, '\0'};
            out.add(one);
            continue;
        }
        ++p;
        if (*p == '%') {
            out.add("%");
            ++p;
            continue;
        }
        while (*p && std::strchr("-+ #0123456789.hlLqjzt", *p))
            ++p;
        if (*p && std::strchr("sSdiuxXcCpfgeE", *p)) {
            ++p;
            if (filled == 0)
                out.addHex(static_cast<std::uintptr_t>(sig));
            if (filled == 1)
                out.addHex(address);
            ++filled;
        } else {
            out.add("%");
        }
    }
}

void writeCrashReport(int sig, const siginfo_t* info, const ucontext_t* uc) {
    if (g_report_written.exchange(true))
        return;  // one report, from the first thread
    std::uintptr_t address = info ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;

    SafeText message;
    addExceptInfo(message, sig, address);
    message.add("\n");
    (void)!::write(STDERR_FILENO, message.data, message.size);

    int fd = ::open(g_report_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    SafeText head;
    head.add("QuorinVideoConverter crash report\nsignal: ");
    head.addDec(sig);
    head.add(" (");
    head.add(signalName(sig));
    head.add(")\ncode: ");
    head.addDec(info ? info->si_code : 0);
    head.add("\naddress: ");
    head.addHex(address);
    head.add("\ninstruction: ");
    head.addHex(uc ? instructionPointer(uc) : 0);
    head.add("\nprocess: ");
    head.addDec(static_cast<long>(::getpid()));
    head.add("\nbacktrace:\n");
    (void)!::write(fd, head.data, head.size);
    void* frames[64];
    int count = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, count, fd);
    ::close(fd);
}

extern "C" void onFaultSignal(int sig, siginfo_t* info, void* context) {
    auto* uc = static_cast<ucontext_t*>(context);
    if (GuardFrame* top = t_top) {
        FaultInfo& fault = t_fault;
        fault.code = static_cast<std::uint32_t>(sig);
        fault.record = ExceptionRecord{};
        fault.record.code = fault.code;
        fault.record.flags = info ? info->si_code : 0;
        fault.record.address = info ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;
        fault.record.instruction = uc ? instructionPointer(uc) : 0;
        fault.record.parameter_count = 2;
        fault.record.parameters[0] = fault.record.address;
        fault.record.parameters[1] = info ? static_cast<std::uintptr_t>(info->si_errno) : 0;
        if (uc) {
            std::memcpy(&fault.context, &uc->uc_mcontext, sizeof fault.context);
#if defined(__x86_64__)
            fault.context.fpregs = nullptr;  // pointed into the signal frame, which is gone
#endif
        }
        t_top = top->prev;
        siglongjmp(top->jmp, 1);
    }
    int saved_errno = errno;
    if (g_report_enabled.load(std::memory_order_acquire))
        writeCrashReport(sig, info, uc);
    // Hand the fault to whoever handled it before us (the default ends the process
    // with the signal); a real fault repeats as soon as we return.
    ::sigaction(sig, &g_previous[sig], nullptr);
    if (!info || info->si_code <= 0)
        ::raise(sig);  // sent by kill(), not a fault
    errno = saved_errno;
}

void installHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        // backtrace() loads its unwinder on first use; do it now, not in a handler.
        void* frame[1];
        ::backtrace(frame, 1);
        for (int sig : kFaultSignals) {
            struct sigaction action {};
            action.sa_sigaction = onFaultSignal;
            action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
            sigemptyset(&action.sa_mask);
            ::sigaction(sig, &action, &g_previous[sig]);
        }
    });
}

// Frees this thread's alternate signal stack when the thread ends.
struct AltStack {
    void* memory = nullptr;
    ~AltStack() {
        if (!memory)
            return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        std::free(memory);
    }
};

}  // namespace

CSEHException::CSEHException(std::uint32_t code_, const ExceptionRecord& record_,
                             std::shared_ptr<const FaultContext> context_)
    : code(code_), record(record_), context(std::move(context_)) {}

const char* CSEHException::what() const noexcept {
    return "hardware fault in a guarded scope";
}

void installSehTranslator() {
    installHandlers();
    thread_local AltStack alt;
    if (alt.memory)
        return;
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
        return;  // one exists
    constexpr std::size_t kSize = 64 * 1024;
    void* memory = std::malloc(kSize);
    if (!memory)
        return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kSize;
    if (::sigaltstack(&stack, nullptr) != 0) {
        std::free(memory);
        return;
    }
    alt.memory = memory;
}

std::filesystem::path crashReportPath() {
    return platform::dataDir() / "Error.tmp";
}

void installCrashHandler() {
    std::string path = crashReportPath().string();
    std::snprintf(g_report_path, sizeof g_report_path, "%s", path.c_str());
    std::string text = getText("ExceptInfo");
    if (text.empty())
        text = "The program stopped unexpectedly (code %x, address %x).";
    std::snprintf(g_except_text, sizeof g_except_text, "%s", text.c_str());
    installHandlers();
    installSehTranslator();
    g_report_enabled.store(true, std::memory_order_release);
}

std::string describeFault(const CSEHException& e, const char* file, int line) {
    char text[1024];
    std::snprintf(text, sizeof text, "Type=%d File=%s Line=%d ExceptCode=%x Address=%llx", 1, file, line,
                  static_cast<unsigned>(e.code), static_cast<unsigned long long>(e.address()));
    return text;
}

std::string describeOtherException(const char* file, int line) {
    char text[1024];
    std::snprintf(text, sizeof text, "Type=%d File=%s Line=%d", 5, file, line);
    return text;
}

namespace detail {

void runGuardedImpl(void (*fn)(void*), void* arg) {
    installHandlers();
    GuardFrame frame;
    frame.prev = t_top;
    if (sigsetjmp(frame.jmp, 1) != 0) {
        // The handler already popped this frame.
        const FaultInfo& fault = t_fault;
        throw CSEHException(fault.code, fault.record,
                            std::make_shared<const FaultContext>(FaultContext{fault.context}));
    }
    t_top = &frame;
    try {
        fn(arg);
    } catch (...) {
        t_top = frame.prev;
        throw;
    }
    t_top = frame.prev;
}

}  // namespace detail
}  // namespace app
