// The console line and the diagnostics are the same bytes on every platform: the C runtime's
// text mode would turn each "\n" into "\r\n" on Windows, so both streams are switched to binary
// before the program starts.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

namespace {

struct BinaryStreams {
    BinaryStreams()
    {
        _setmode(_fileno(stdout), _O_BINARY);
        _setmode(_fileno(stderr), _O_BINARY);
    }
};

const BinaryStreams binary_streams;

} // namespace
