#pragma once

#include <QByteArray>
#include <QList>

#include <array>
#include <optional>

namespace quorvane::test {

// A ZIP archive made in memory, its entries deflated or stored, where an entry may declare
// an unpacked size other than its real one: the office and e-book formats' tests build
// their documents with it.
class ZipWriter {
public:
    enum class Packing { Stored, Deflated };
    explicit ZipWriter(Packing packing = Packing::Stored) : packing_(packing) {}

    void add(const QByteArray& name, const QByteArray& data, std::optional<bool> deflated = {},
             std::optional<quint32> declaredSize = std::nullopt) {
        const bool deflate = deflated.value_or(packing_ == Packing::Deflated);
        QByteArray packed = data;
        if (deflate) {
            // zlib's stream without its length prefix, header and checksum: raw deflate.
            const QByteArray z = qCompress(data, 1);
            packed = z.mid(4 + 2, z.size() - 4 - 2 - 4);
        }
        entries_.append({name, packed, crc32(data), declaredSize.value_or(data.size()),
                         deflate});
    }

    QByteArray bytes() const {
        QByteArray out;
        QByteArray directory;
        for (const Entry& e : entries_) {
            const qsizetype offset = out.size();
            const QByteArray common = le16(20) + le16(0) + le16(e.deflate ? 8 : 0) + le16(0) +
                                      le16(0x21) + le32(e.crc) + le32(e.packed.size()) +
                                      le32(e.size) + le16(e.name.size()) + le16(0);
            out += le32(0x04034b50) + common + e.name + e.packed;
            directory += le32(0x02014b50) + le16(20) + common + le16(0) + le16(0) + le16(0) +
                         le32(0) + le32(static_cast<quint32>(offset)) + e.name;
        }
        const qsizetype directoryAt = out.size();
        out += directory;
        out += le32(0x06054b50) + le16(0) + le16(0) + le16(entries_.size()) +
               le16(entries_.size()) + le32(directory.size()) +
               le32(static_cast<quint32>(directoryAt)) + le16(0);
        return out;
    }

private:
    struct Entry {
        QByteArray name;
        QByteArray packed;
        quint32 crc;
        quint32 size;
        bool deflate;
    };
    static QByteArray le16(qint64 v) {
        const char b[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
        return QByteArray(b, 2);
    }
    static QByteArray le32(qint64 v) { return le16(v & 0xFFFF) + le16((v >> 16) & 0xFFFF); }
    static quint32 crc32(const QByteArray& data) {
        static const auto table = [] {
            std::array<quint32, 256> t{};
            for (quint32 i = 0; i < 256; ++i) {
                quint32 c = i;
                for (int k = 0; k < 8; ++k) {
                    c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
                }
                t[i] = c;
            }
            return t;
        }();
        quint32 crc = 0xFFFFFFFFu;
        for (const char c : data) {
            crc = table[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
        }
        return ~crc;
    }

    Packing packing_;
    QList<Entry> entries_;
};

}  // namespace quorvane::test
