// SPDX-License-Identifier: GPL-3.0-or-later
// Sanitizer suppressions for the media tests and the program tests, built into the binary so that
// every run of it uses them.

// GLib never frees an outgrown quark table (on purpose: lookups stay lock-free), and GLib
// is built without frame pointers, so such a report shows nothing past g_malloc. That a
// released graph frees its GStreamer objects is checked by the tests themselves.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libglib-2.0.so.0\n";
}

// GLib and GStreamer are not instrumented: they hand data between their threads through
// atomics and futexes that ThreadSanitizer cannot see, so it reports their own locks and
// buffers as racing. The same holds for the decoders they load, and for Qt's own worker
// threads (font loading, the offscreen platform) in the tests that run the dialog, and for
// the dynamic loader growing thread-local storage when a plugin loads as a thread ends.
// JACK's MIDI ports hand bytes between threads through its lock-free ring buffer, just as
// invisible. Only reports whose access lies in those libraries are silenced; our code
// is instrumented and its stacks name it.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libglib-2.0.so\n"
         "race:libgobject-2.0.so\n"
         "race:libgst\n"
         "race:libav\n"
         "race:liborc-0.4.so\n"
         "race:libffi.so\n"  // GObject signals reach our handlers through it, from GLib
         "race:libQt6Core.so\n"
         "race:libQt6Gui.so\n"
         "race:libQt6Widgets.so\n"
         "race:_dl_deallocate_tls\n"
         "race:jack_ringbuffer_\n"
         // A MIDI buffer in JACK's shared memory, written by one client's cycle and read by the
         // next's: the server orders them through its own FIFOs, out of the race checker's sight.
         "race:jack_midi_event_write\n"
         "race:_dl_resize_dtv\n"
         "mutex:libglib-2.0.so\n"
         "deadlock:libglib-2.0.so\n"
         "deadlock:libgst\n";
}
