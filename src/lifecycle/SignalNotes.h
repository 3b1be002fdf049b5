#pragma once
// What the platforms' signal handlers note, and how the notes are read: the
// counting is the same whether a signal or a console event came. Safe in a
// signal handler (lock-free atomics only).
namespace pelican {

// Forgets every note; interruptsToEnd Ctrl-C end the program.
void ResetSignalNotes(int interruptsToEnd);
// A signal came. asked: someone asked for the end (SIGPIPE is no one asking).
void NoteSignal(int signal, bool asked);

}  // namespace pelican
