// Standard input, output and error that the process was started without.
#ifndef WALKEXEC_OS_STANDARD_STREAMS_H
#define WALKEXEC_OS_STANDARD_STREAMS_H

namespace os {

// Opens the null device on each standard stream that is closed, so that
// nothing else we open (a pipe, a log, a directory) takes its place, and
// nothing written to that stream lands in it.
void openClosedStandardStreams();

}  // namespace os

#endif
