# Sourced by the sanitizer scripts: every report is fatal and comes with a stack;
# options already in the environment are appended and so win.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:print_summary=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
