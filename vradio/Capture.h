#pragma once

#include "vradio/Engine.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace corvane::vradio {

// A capture: what crossed a radio's line, each piece with its time and
// direction, as the tap records it and the replay reads it. A text file a
// person can read and edit (docs/vradio.md):
//
//   corvane-vradio capture 1
//   baud 9600
//   +0.000000 > FE FE 94 E0 03 FD
//   +0.012345 < FE FE 94 E0 03 FD FE FE E0 94 03 00 00 05 07 00 FD
//   +0.100000 > "FA;"
//
// It holds the line's bytes and nothing else: no port name, no host, no user.
enum class Direction { ToRadio, FromRadio };

struct CaptureRecord {
    int64_t ns = 0; // since the capture began
    Direction direction = Direction::ToRadio;
    QByteArray bytes;
    friend bool operator==(const CaptureRecord&, const CaptureRecord&) = default;
};

struct Capture {
    int baud = 0; // 0: not said
    std::optional<Protocol> protocol;
    std::vector<CaptureRecord> records;
};

inline constexpr int captureVersion = 1;
// A capture file larger than this is refused rather than read into memory.
inline constexpr qint64 largestCapture = 64 << 20;

// The lines a capture starts with.
QByteArray captureHeader(int baud);
// One record as a line, its newline included: Kenwood's text (printable
// ASCII) in quotes, anything else as hex bytes.
QByteArray formatRecord(const CaptureRecord& record);

// Reads a capture; false with "line N: what is wrong" in `error`.
bool parseCapture(const QByteArray& text, Capture* out, QString* error);
bool readCapture(const QString& path, Capture* out, QString* error);

// The bytes of one direction, in order.
QByteArray bytesOf(const Capture& capture, Direction direction);

// Writes a capture file from a thread of its own: the line's work never
// waits for the disk. What does not fit a bounded queue (a disk that stalls)
// is left out and a comment line says how many bytes; a write that fails
// stops the recording, and error() says why.
class CaptureWriter {
public:
    CaptureWriter();
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Creates the file; one that exists is refused unless `replace`.
    bool open(const QString& path, bool replace, int baud, QString* error);
    // Any thread; never blocks on the disk.
    void record(Direction direction, const char* bytes, size_t size, int64_t ns);
    // Waits at most `limit` for what was recorded to be written.
    bool flush(std::chrono::milliseconds limit);

    uint64_t recordedBytes() const;
    uint64_t droppedBytes() const;
    QString error() const;

    static constexpr size_t queueLimit = 8 << 20;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace corvane::vradio
