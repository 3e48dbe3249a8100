// Linked into every program of a sanitized build (ORVALA_SANITIZE): the sanitizers' settings and
// the leaks that are not ours, compiled in so that each program and every child a test starts
// runs with them, whatever the environment says (settings given in ASAN_OPTIONS and the like
// still override these).
//
// A finding ends the program with exit code 86, a code none of our programs uses: a leak in a
// tool's child process must not pass for the tool's own "exit 1".

extern "C" {

// Libraries opened at run time (Mesa's driver, the codecs) stay loaded until the process ends, so
// that a leak inside one is still named by its library at exit and the suppressions below can
// tell it apart from ours; an unloaded library leaves only "<unknown module>" frames.
int dlclose(void*)
{
    return 0;
}

const char* __asan_default_options()
{
    // Leaks are looked for at exit; globals are checked for being read before they are made.
    return "exitcode=86:detect_leaks=1:strict_string_checks=1:check_initialization_order=1:"
           "detect_stack_use_after_return=0:abort_on_error=0:print_summary=1";
}

const char* __ubsan_default_options()
{
    return "exitcode=86:halt_on_error=1:print_stacktrace=1";
}

const char* __lsan_default_options()
{
    return "exitcode=86:print_suppressions=0";
}

// Allocations the libraries below us keep for the life of the process and never free, by the
// library that makes them. None of these frames is ours: a leak whose stack passes through our
// code is still reported, because a suppression matches the frame that allocated, and these
// libraries never allocate on our behalf in memory we are meant to free.
const char* __lsan_default_suppressions()
{
    return
        // Mesa's GL and EGL drivers: the llvmpipe screen, its LLVM JIT and shader caches live as
        // long as the process; eglTerminate does not free them.
        "leak:libgallium\n"
        "leak:swrast_dri.so\n"
        "leak:kms_swrast_dri.so\n"
        "leak:libLLVM\n"
        "leak:libEGL_mesa.so\n"
        "leak:libGLX_mesa.so\n"
        "leak:libglapi.so\n"
        "leak:libGLdispatch.so\n"
        "leak:libEGL.so\n"
        "leak:libGLX.so\n"
        // GTK and the GLib type system: types, the default display, font maps and theme data are
        // registered once and kept until exit by design.
        "leak:libgtk-3.so\n"
        "leak:libgdk-3.so\n"
        "leak:libglib-2.0.so\n"
        "leak:libgobject-2.0.so\n"
        "leak:libgio-2.0.so\n"
        "leak:libfontconfig.so\n"
        "leak:libpango\n"
        "leak:libharfbuzz.so\n"
        "leak:libcairo.so\n"
        "leak:libatk\n"
        // X11 and D-Bus: connection caches and the locale database of Xlib, the session bus
        // SDL and GTK open, kept per process.
        "leak:libX11.so\n"
        "leak:libxcb.so\n"
        "leak:libdbus-1.so\n"
        // libvorbisenc: for more than two channels its setup allocates a block that
        // vorbis_info_clear does not free (the tests' six-channel Ogg fixture meets it; the
        // demo's own encoder writes two).
        "leak:vorbis_encode_setup_init\n";
}
}
