# Prints the ThreadSanitizer reports (as the sanitizer writes them, several
# after one another) that this program's own code takes part in, and their
# number last, alone on a line, on standard error.
#
# A report is this program's when the first frame past the sanitizer, the C
# and C++ runtimes and Qt Core (its library and the code its headers put
# inline) of the stack that made it lies in a test program or in quor or
# quor-run. The stack that made it is, for a data race, each racing access
# (and for a lock-order inversion each lock taken); for a thread leak where
# the thread was started; for every other kind (a mutex unlocked or
# destroyed wrongly, a call a signal handler must not make, a handler
# spoiling errno) the stack the report begins with. A race is this
# program's only when every one of its accesses' stacks holds a frame of
# this program, or could not be restored: the sanitizer sees no frame of an
# uninstrumented library, and a race between a thread of Qt's or QGIS's
# own, whose stack holds library frames only, and this program's thread
# inside a call to the library is the library's handover. A race of this
# program on a QList or a QString, which Qt Core's functions make
# (QArrayData::allocate), so shows with the program's frame that called
# them. The stand-ins for Qt's functions in tsan_qt_locks.cpp are Qt Core's.
function startStack(making) { stack = making; first = 1; ours = 0 }
function endStack() { if (stack && !ours) everyStackOurs = 0; stack = 0 }
function endReport() {
  if (text != "" && madeByUs && (!twoSided || everyStackOurs)) { printf "%s", text; n++ }
  text = ""; madeByUs = 0; everyStackOurs = 1; kind = ""
}
BEGIN { everyStackOurs = 1 }
/^==================$/ { endStack(); endReport(); next }
{ text = text $0 "\n" }
/^WARNING: ThreadSanitizer: / {
  kind = $0
  sub(/^WARNING: ThreadSanitizer: /, "", kind)
  twoSided = (kind ~ /^(data race|heap-use-after-free|lock-order-inversion)/)
  startStack(!twoSided && kind !~ /^thread leak/)
  next
}
/^  [A-Za-z]/ {
  endStack()
  if (twoSided)
    startStack($0 ~ /^  (Previous )?([Aa]tomic )?([Rr]ead|[Ww]rite) of size|^  Mutex M[0-9]+ acquired here/)
  else
    startStack(kind ~ /^thread leak/ && $0 ~ /^  Thread T[0-9]+ .*created by/)
  next
}
stack && /failed to restore the stack/ { ours = 1 }
stack && /^ +#[0-9]+ / {
  module = "<unknown module>"
  if (match($0, /\([^()]+\+0x[0-9a-f]+\)$/)) module = substr($0, RSTART + 1, RLENGTH - 2)
  program = (module !~ /\.so|<unknown module>/ && $0 !~ /tsan_qt_locks\.cpp/)
  if (program) ours = 1
  if (!first || module ~ /^(libtsan|libc|libstdc\+\+|libgcc_s|libQt5Core)\.so/ ||
      $0 ~ /tsan_qt_locks\.cpp|\/qt5\/Qt[A-Za-z]*\//) next
  first = 0
  if (program) madeByUs = 1
}
END { endStack(); endReport(); print n + 0 > "/dev/stderr" }
