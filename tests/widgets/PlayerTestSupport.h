#pragma once
// Movies and projector files for the player's widget tests.

#include "SwfWriter.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <vector>

namespace orvane::testing {

// A movie of `frames` frames: a red square that moves one step a frame over `background`.
inline std::vector<std::uint8_t> steppingMovie(int width, int height, int frames, Rgba background,
                                               double fps = 24.0) {
    SwfWriter movie;
    movie.setStageSize(width, height).setFrameRate(fps);
    movie.setBackgroundColor(background);
    ShapeBuilder box;
    box.setFill0(box.addFill(FillStyle::solid({255, 0, 0}))).rectangle(0, 0, 400, 400);
    movie.defineShape(1, box);
    movie.place(1, 1, Matrix::translate(0, 0)).showFrame();
    for (int i = 1; i < frames; ++i)
        movie.moveTo(1, Matrix::translate(i * 20, i * 10)).showFrame();
    return movie.bytes();
}

inline QByteArray toQByteArray(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// A projector file: some stub bytes, the movie, 4 ignored bytes and the movie length.
inline QByteArray projector(const std::vector<std::uint8_t>& movie,
                            const QByteArray& stub = QByteArray(4096, 'x')) {
    QByteArray out = stub + toQByteArray(movie) + QByteArray("\x56\x34\x12\xFA", 4);
    const auto length = std::uint32_t(movie.size());
    for (int i = 0; i < 4; ++i)
        out.append(char(length >> (8 * i)));
    return out;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace orvane::testing
