#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <vector>

namespace quorvane {

// The names of a listing, held compactly: a folder of a million files must not cost a
// string object and a heap block per name. Every name is kept as the UTF-8 form of its
// UTF-16 units (a lone surrogate, such as a held byte of FileName, as its own three bytes)
// followed by a zero byte, all in one block, with the start of each in a table; reading a
// name back gives exactly the QString that went in. Names never hold a zero character.
// Copies share the block until one of them changes, as a QStringList's do.
class NameList {
public:
    // Reads names back as QStrings, so that the algorithms of the standard library work.
    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = QString;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = QString;

        const_iterator() = default;
        const_iterator(const NameList* list, qsizetype index) : list_(list), index_(index) {}
        QString operator*() const { return list_->at(index_); }
        QString operator[](difference_type n) const { return list_->at(index_ + n); }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        const_iterator operator++(int) { return {list_, index_++}; }
        const_iterator& operator--() {
            --index_;
            return *this;
        }
        const_iterator operator--(int) { return {list_, index_--}; }
        const_iterator& operator+=(difference_type n) {
            index_ += n;
            return *this;
        }
        const_iterator& operator-=(difference_type n) {
            index_ -= n;
            return *this;
        }
        friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
        friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
            return a.index_ - b.index_;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.index_ == b.index_;
        }
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) {
            return a.index_ <=> b.index_;
        }

    private:
        const NameList* list_ = nullptr;
        qsizetype index_ = 0;
    };

    NameList();
    // From names already in strings: for callers that build a short list by hand.
    NameList(const QStringList& names);
    NameList(std::initializer_list<QString> names);

    qsizetype size() const { return static_cast<qsizetype>(d_->starts.size()); }
    bool isEmpty() const { return d_->starts.empty(); }
    QString at(qsizetype index) const;
    QString operator[](qsizetype index) const { return at(index); }
    // Whether the part of name `index` after its last "/" is `name` exactly, without
    // making a string of it.
    bool lastPartEquals(qsizetype index, QLatin1StringView name) const;
    // The part of name `index` after its last "/", as the bytes it is stored in; empty for
    // a name that ends in "/".
    QByteArrayView lastPart(qsizetype index) const;

    void append(QStringView name);
    void append(const NameList& names, QStringView prefix = {});
    void clear();

    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    QStringList toStringList() const;
    // Puts the names in the order FolderListing::lessThan gives, stable for equal names.
    void sort();

    // The same names in the same order (each name has one form in the block).
    friend bool operator==(const NameList& a, const NameList& b);

private:
    // Writes the units in the block's form, without the closing zero.
    void appendUnits(QStringView units);
    struct Block {
        std::vector<char> bytes;
        std::vector<qsizetype> starts;  // where each name begins in bytes
    };

    static void layOutInOrder(Block& block);
    const char* bytesOf(qsizetype index) const {
        return d_->bytes.data() + d_->starts[static_cast<size_t>(index)];
    }
    // The block, this list's own before it changes.
    Block& own();

    std::shared_ptr<Block> d_;
};

}  // namespace quorvane
