// Linked into the fuzz targets that run Qt's GUI. Qt keeps its font database
// and glyph caches (and fontconfig's and FreeType's state beneath them) for
// the life of the process and frees none of it at exit, so the leak check
// reported them and turned every run into a false crash. Left out are only
// allocations made inside those libraries (the system's libraries unwind no
// further than their own frame, so they are named by library); a block our
// own code allocates and loses is reported as ever, with what hangs from it.
// More can be added at run time with LSAN_OPTIONS=suppressions=<file>.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt6Gui.so\n"
           "leak:libfontconfig.so\n"
           "leak:libfreetype.so\n";
}
