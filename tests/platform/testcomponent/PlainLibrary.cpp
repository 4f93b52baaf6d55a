// A shared library that is not a component: it exports no entry points.
extern "C" __attribute__((visibility("default"))) int PlainLibraryAnswer() {
    return 42;
}
