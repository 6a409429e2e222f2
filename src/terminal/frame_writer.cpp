#include "terminal/frame_writer.hpp"

namespace term {

expected<void, IoError> VtFrameWriter::write(Grid& next)
{
    writer_.write(next, out_);
    auto flushed = out_.flush();
    // What reached the terminal is no longer known.
    if (!flushed) writer_.invalidate();
    return flushed;
}

}  // namespace term
