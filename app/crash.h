#pragma once
// Hardware faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL) inside a guarded scope become a
// thrown CSEHException on the faulting thread, so a worker can log the fault and
// carry on from its catch site. A fault outside every guarded scope writes a text
// crash report, Error.tmp in the data folder, once installCrashHandler() has run.
//
// A guarded scope is left by siglongjmp: destructors of objects created inside the
// scope after the fault point's callers are skipped, as with the hardware-exception
// translation this replaces. Keep guarded code to plain steps that own little.

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace app {

// What the system recorded about the fault.
struct ExceptionRecord {
    std::uint32_t code = 0;                   // the signal number
    std::int32_t flags = 0;                   // si_code: how the fault came about
    const ExceptionRecord* nested = nullptr;  // always null: faults do not nest here
    std::uintptr_t address = 0;               // the faulting address (si_addr)
    std::uintptr_t instruction = 0;           // program counter at the fault, 0 if unknown
    std::uint32_t parameter_count = 0;        // used entries of `parameters`
    std::uintptr_t parameters[4] = {};        // [0] address, [1] si_errno
};

// The registers of the faulting thread, in the system's own layout (crash_posix.cpp).
struct FaultContext;

class CSEHException : public std::exception {
public:
    CSEHException(std::uint32_t code, const ExceptionRecord& record,
                  std::shared_ptr<const FaultContext> context);

    std::uint32_t code;                           // the signal number
    ExceptionRecord record;                       // the fault as the system reported it
    std::shared_ptr<const FaultContext> context;  // registers at the fault, copied whole

    std::uintptr_t address() const { return record.address; }
    const char* what() const noexcept override;
};

// Installs the fault handlers (once per process) and an alternate signal stack for
// the calling thread, so even a stack overflow reaches the handler. Call first
// thing on every thread that guards scopes; runGuarded also installs the handlers.
void installSehTranslator();

// Unguarded faults from now on write crashReportPath() and then take the action
// that was in place before (the default: the process ends with the signal).
void installCrashHandler();
// dataDir()/Error.tmp.
std::filesystem::path crashReportPath();

// "Type=1 File=<file> Line=<line> ExceptCode=<hex> Address=<hex>" for a caught fault.
std::string describeFault(const CSEHException& e, const char* file, int line);
// "Type=5 File=<file> Line=<line>" for any other exception.
std::string describeOtherException(const char* file, int line);

namespace detail {
// Runs fn(arg) in a guarded scope; throws CSEHException when it faults.
void runGuardedImpl(void (*fn)(void*), void* arg);
}  // namespace detail

// Calls `f` in a guarded scope and returns its result; a fault inside throws
// CSEHException, other exceptions pass through unchanged. Scopes nest.
template <class F>
decltype(auto) runGuarded(F&& f) {
    using R = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<R>) {
        auto call = [&] { f(); };
        detail::runGuardedImpl([](void* p) { (*static_cast<decltype(call)*>(p))(); }, &call);
    } else {
        static_assert(!std::is_reference_v<R>, "return a value from a guarded scope");
        std::optional<R> result;
        auto call = [&] { result.emplace(f()); };
        detail::runGuardedImpl([](void* p) { (*static_cast<decltype(call)*>(p))(); }, &call);
        return R(std::move(*result));
    }
}

}  // namespace app
