#include "platform/FolderListingNames.h"

#include <QtGlobal>

#include <cstring>
#include <limits>

#include "platform/Utf8.h"

namespace quorvane {

namespace {

bool isAscii(const char* bytes) {
    for (; *bytes != 0; ++bytes) {
        if (static_cast<unsigned char>(*bytes) >= 0x80) {
            return false;
        }
    }
    return true;
}

// The inverse of the form append() writes; the block holds nothing else, so no byte
// needs checking.
QString decode(const char* bytes, size_t length) {
    QString name(static_cast<qsizetype>(length), Qt::Uninitialized);
    name.truncate(utf8::decodeUnits(bytes, length, reinterpret_cast<char16_t*>(name.data())));
    return name;
}

// What lessThan compares, for a name with letters beyond ASCII: every UTF-16 unit
// case-folded as QString::compare(..., Qt::CaseInsensitive) folds it, the second unit of
// a surrogate pair standing for the whole folded code point, in the UTF-8 form, whose
// bytes compare in the order of the code points. A name in ASCII needs no key: its own
// bytes, A-Z lowered, are its key.
void appendSortKey(std::vector<char>& keys, const QString& name) {
    char16_t last = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        char32_t folded = unit;
        if (unit < 0x80) {
            folded = unit >= u'A' && unit <= u'Z' ? unit + 0x20 : unit;
        } else if (QChar::isLowSurrogate(unit) && QChar::isHighSurrogate(last)) {
            folded = QChar::toCaseFolded(QChar::surrogateToUcs4(last, unit));
        } else if (!QChar::isSurrogate(unit)) {
            folded = QChar::toCaseFolded(char32_t{unit});
        }
        last = unit;
        utf8::append(keys, folded);
    }
    keys.push_back(0);
}

// A key as the sort sees it: made bytes, or a name's own bytes to be lowered on the way.
struct SortKey {
    const char* bytes;
    bool lowered;
};

int compareKeys(SortKey a, SortKey b) {
    for (;; ++a.bytes, ++b.bytes) {
        unsigned char x = static_cast<unsigned char>(*a.bytes);
        unsigned char y = static_cast<unsigned char>(*b.bytes);
        if (a.lowered && x >= 'A' && x <= 'Z') {
            x += 'a' - 'A';
        }
        if (b.lowered && y >= 'A' && y <= 'Z') {
            y += 'a' - 'A';
        }
        if (x != y) {
            return x < y ? -1 : 1;
        }
        if (x == 0) {
            return 0;
        }
    }
}

// The first eight bytes of a key as one number that orders as the bytes do.
quint64 headOf(SortKey key) {
    quint64 head = 0;
    int taken = 0;
    for (; taken < 8 && key.bytes[taken] != 0; ++taken) {
        unsigned char byte = static_cast<unsigned char>(key.bytes[taken]);
        if (key.lowered && byte >= 'A' && byte <= 'Z') {
            byte += 'a' - 'A';
        }
        head = (head << 8) | byte;
    }
    // A shift by 64 bits is undefined; an empty key is all zeros anyway.
    return taken == 0 ? 0 : head << (8 * (8 - taken));
}

}  // namespace

NameList::NameList() : d_(std::make_shared<Block>()) {}

NameList::NameList(const QStringList& names) : NameList() {
    for (const QString& name : names) {
        append(name);
    }
}

NameList::NameList(std::initializer_list<QString> names) : NameList() {
    for (const QString& name : names) {
        append(name);
    }
}

QString NameList::at(qsizetype index) const {
    const char* bytes = bytesOf(index);
    const size_t length = std::strlen(bytes);
    return isAscii(bytes) ? QString::fromLatin1(bytes, static_cast<qsizetype>(length))
                          : decode(bytes, length);
}

bool NameList::lastPartEquals(qsizetype index, QLatin1StringView name) const {
    return lastPart(index) == QByteArrayView(name.data(), name.size());
}

QByteArrayView NameList::lastPart(qsizetype index) const {
    const char* bytes = bytesOf(index);
    const char* slash = std::strrchr(bytes, '/');
    return QByteArrayView(slash != nullptr ? slash + 1 : bytes);
}

NameList::Block& NameList::own() {
    if (d_.use_count() > 1) {
        d_ = std::make_shared<Block>(*d_);
    }
    return *d_;
}

void NameList::appendUnits(QStringView units) {
    utf8::appendUnits(d_->bytes, units);
}

void NameList::append(QStringView name) {
    Block& block = own();
    block.starts.push_back(static_cast<qsizetype>(block.bytes.size()));
    appendUnits(name);
    block.bytes.push_back(0);
}

void NameList::append(const NameList& names, QStringView prefix) {
    Block& block = own();
    for (qsizetype i = 0; i < names.size(); ++i) {
        block.starts.push_back(static_cast<qsizetype>(block.bytes.size()));
        appendUnits(prefix);
        const char* bytes = names.bytesOf(i);
        block.bytes.insert(block.bytes.end(), bytes, bytes + std::strlen(bytes) + 1);
    }
}

void NameList::clear() {
    d_ = std::make_shared<Block>();
}

QStringList NameList::toStringList() const {
    QStringList names;
    names.reserve(size());
    for (qsizetype i = 0; i < size(); ++i) {
        names.append(at(i));
    }
    return names;
}

bool operator==(const NameList& a, const NameList& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (std::strcmp(a.bytesOf(i), b.bytesOf(i)) != 0) {
            return false;
        }
    }
    return true;
}

// Lays the names out again in the order of their starts: a count then reads them front
// to back, where in the listing's order every name was a jump (a cache miss, and on a
// virtual machine often a page walk too) to somewhere else in the block.
void NameList::layOutInOrder(Block& block) {
    std::vector<char> sorted;
    sorted.reserve(block.bytes.size());
    for (qsizetype& start : block.starts) {
        const char* name = block.bytes.data() + start;
        start = static_cast<qsizetype>(sorted.size());
        sorted.insert(sorted.end(), name, name + std::strlen(name) + 1);
    }
    block.bytes = std::move(sorted);
}

void NameList::sort() {
    Block& block = own();
    Q_ASSERT(block.starts.size() < std::numeric_limits<quint32>::max());
    // Keys are made once, and only for names beyond ASCII. Each name is sorted with the
    // first eight bytes of its key as one number, so that most comparisons neither follow
    // the name into the block nor loop over bytes.
    constexpr quint32 ownKey = std::numeric_limits<quint32>::max();
    struct Item {
        quint64 head;   // the key's first bytes, big-endian, zeros past its end
        quint32 index;  // the name's place as listed
        quint32 key;    // its key in keyStarts; ownKey for a name that is its own key
    };
    std::vector<char> keys;
    std::vector<qsizetype> keyStarts;
    std::vector<Item> items(block.starts.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const char* name = block.bytes.data() + block.starts[i];
        items[i] = {0, static_cast<quint32>(i), ownKey};
        if (!isAscii(name)) {
            items[i].key = static_cast<quint32>(keyStarts.size());
            keyStarts.push_back(static_cast<qsizetype>(keys.size()));
            appendSortKey(keys, decode(name, std::strlen(name)));
        }
    }
    auto keyOf = [&](const Item& item) {
        return item.key == ownKey ? SortKey{block.bytes.data() + block.starts[item.index], true}
                                  : SortKey{keys.data() + keyStarts[item.key], false};
    };
    for (Item& item : items) {
        item.head = headOf(keyOf(item));
    }
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        if (a.head != b.head) {
            return a.head < b.head;
        }
        const int byKey = compareKeys(keyOf(a), keyOf(b));
        if (byKey != 0) {
            return byKey < 0;
        }
        // Equal without regard to case: by exact name in UTF-16 order, which the bytes
        // give only when both are ASCII; then as listed.
        const char* nameA = block.bytes.data() + block.starts[a.index];
        const char* nameB = block.bytes.data() + block.starts[b.index];
        const int exact = a.key == ownKey && b.key == ownKey
                              ? std::strcmp(nameA, nameB)
                              : QString::compare(decode(nameA, std::strlen(nameA)),
                                                 decode(nameB, std::strlen(nameB)));
        return exact != 0 ? exact < 0 : a.index < b.index;
    });
    // The items' heads are spent: they carry the starts in their new order, so that no
    // second table of starts is needed.
    for (Item& item : items) {
        item.head = static_cast<quint64>(block.starts[item.index]);
    }
    for (size_t i = 0; i < items.size(); ++i) {
        block.starts[i] = static_cast<qsizetype>(items[i].head);
    }
    items = {};
    layOutInOrder(block);
}

}  // namespace quorvane
