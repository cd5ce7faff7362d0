// A shared object without either entry point.
extern "C" int ZelkUnrelatedExport() { return 42; }
