#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace quorvane::test {

// Little-endian integers, as the compound file and Word formats store them.
inline QByteArray le16(quint32 v) {
    const char b[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
    return QByteArray(b, 2);
}

inline QByteArray le32(quint32 v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kNoStream = 0xFFFFFFFF;
constexpr int kSector = 512;

// A compound file (version 3, 512-byte sectors) of the streams given, each padded to the
// 4096 bytes past which no mini stream is used. `loop` sends the first stream's chain
// back to its own start after three sectors.
inline QByteArray compoundFile(const std::vector<std::pair<QString, QByteArray>>& streams,
                               bool loop = false) {
    QByteArray body;
    std::vector<quint32> fat;
    std::vector<std::pair<quint32, quint32>> placed;  // first sector, size
    for (const auto& [name, bytes] : streams) {
        QByteArray b = bytes.leftJustified(qMax<qsizetype>(bytes.size(), 4096), '\0');
        const quint32 sectors = static_cast<quint32>((b.size() + kSector - 1) / kSector);
        b = b.leftJustified(sectors * kSector, '\0');
        const auto first = static_cast<quint32>(fat.size());
        placed.emplace_back(first, static_cast<quint32>(b.size()));
        for (quint32 k = 0; k < sectors; ++k) {
            fat.push_back(k + 1 < sectors ? first + k + 1 : kEndOfChain);
        }
        body += b;
    }
    if (loop) {
        fat[placed[0].first + 2] = placed[0].first;
    }
    const auto directorySector = static_cast<quint32>(fat.size());
    fat.push_back(kEndOfChain);
    const auto entry = [](const QString& name, quint8 type, quint32 right, quint32 child,
                          quint32 start, quint32 size) {
        QByteArray e(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
        e = e.leftJustified(64, '\0');
        e += le16((name.size() + 1) * 2) + char(type) + char(1) + le32(kNoStream) + le32(right) +
             le32(child) + QByteArray(36, '\0') + le32(start) + le32(size) + le32(0);
        return e;
    };
    QByteArray directory = entry(QStringLiteral("Root Entry"), 5, kNoStream, 1, kEndOfChain, 0);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const quint32 right = i + 1 < streams.size() ? static_cast<quint32>(i + 2) : kNoStream;
        directory +=
            entry(streams[i].first, 2, right, kNoStream, placed[i].first, placed[i].second);
    }
    body += directory.leftJustified(kSector, '\0');
    quint32 fatSectors = 1;
    while ((fat.size() + fatSectors) * 4 > fatSectors * kSector) {
        ++fatSectors;
    }
    const auto fatStart = static_cast<quint32>(fat.size());
    fat.insert(fat.end(), fatSectors, 0xFFFFFFFD);
    QByteArray fatBytes;
    for (const quint32 next : fat) {
        fatBytes += le32(next);
    }
    body += fatBytes.leftJustified(fatSectors * kSector, '\xFF');
    QByteArray header("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header += QByteArray(16, '\0') + le16(0x3E) + le16(3) + le16(0xFFFE) + le16(9) + le16(6) +
              QByteArray(6, '\0') + le32(0) + le32(fatSectors) + le32(directorySector) + le32(0) +
              le32(4096) + le32(kEndOfChain) + le32(0) + le32(kEndOfChain) + le32(0);
    for (quint32 k = 0; k < 109; ++k) {
        header += le32(k < fatSectors ? fatStart + k : 0xFFFFFFFF);
    }
    return header + body;
}

}  // namespace quorvane::test
