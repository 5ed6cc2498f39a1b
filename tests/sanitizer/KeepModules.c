/* Linked into every test of a sanitizer build. Libraries that the tests load at run time (Qt's
   SQL and platform plugins, the ODBC driver, Mesa's drivers) are normally unloaded before
   LeakSanitizer looks, which leaves their leaks without a module name that a suppression could
   match. Keeping them mapped until exit names them; nothing else changes. */
int dlclose(void* handle) {
    (void)handle;
    return 0;
}
