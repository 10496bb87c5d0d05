#include "dll/random_stack.h"

#include <cstdio>
#include <cstring>

namespace vlx_test {

namespace {

void print_frame(int depth, DWORD64 address) {
    HMODULE module = nullptr;
    char name[MAX_PATH] = "?";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(address), &module)) {
        GetModuleFileNameA(module, name, MAX_PATH);
    }
    const char* base_name = std::strrchr(name, '\\');
    std::fprintf(stderr, "  #%-2d %s+0x%llx\n", depth, base_name ? base_name + 1 : name,
                 static_cast<unsigned long long>(address - reinterpret_cast<DWORD64>(module)));
}

}  // namespace

void print_stack(const CONTEXT& start) {
    CONTEXT context = start;
    for (int depth = 0; depth < 32 && context.Rip != 0; ++depth) {
        print_frame(depth, context.Rip);
        DWORD64 image_base = 0;
        PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &image_base, nullptr);
        if (!function) {  // a leaf function: the return address is on top of the stack
            context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
            context.Rsp += 8;
            continue;
        }
        void* handler_data = nullptr;
        DWORD64 establisher = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, image_base, context.Rip, function, &context, &handler_data, &establisher,
                         nullptr);
    }
    std::fflush(stderr);
}

void print_thread_stack(HANDLE thread) {
    if (SuspendThread(thread) == static_cast<DWORD>(-1)) return;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    if (GetThreadContext(thread, &context)) print_stack(context);
    ResumeThread(thread);
}

}  // namespace vlx_test
