// Sanitizer suppressions for the media tests, built into the binary so that every run
// of it uses them.
extern "C" {

// GLib never frees an outgrown quark table (on purpose: lookups stay lock-free), and GLib
// is built without frame pointers, so such a report shows nothing past g_malloc. That a
// released graph frees its GStreamer objects is checked by the tests themselves.
const char* __lsan_default_suppressions() {
  return "leak:libglib-2.0.so.0\n";
}
}
