#include "documents/ZipArchive.h"

#include <zip.h>

#include "documents/DocumentErrors.h"
#include "documents/DocumentFile.h"

namespace quorvane {

namespace {

using DocumentErrors::damaged;
using DocumentErrors::damagedPart;
using DocumentErrors::fromLibrary;

// libzip reads the archive through this, at any offset of the already checked file.
struct SourceState {
    DocumentFile* file = nullptr;
    qint64 offset = 0;
    zip_error_t error;
};

zip_int64_t sourceCallback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto* state = static_cast<SourceState*>(userdata);
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
            state->offset = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const qint64 got = state->file->readAt(state->offset, static_cast<char*>(data),
                                                   static_cast<qint64>(length));
            if (got < 0) {
                zip_error_set(&state->error, ZIP_ER_READ, EIO);
                return -1;
            }
            state->offset += got;
            return got;
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &state->error);
            if (st == nullptr) {
                return -1;
            }
            zip_stat_init(st);
            st->size = static_cast<zip_uint64_t>(state->file->size());
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&state->error, data, length);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&state->error);
            delete state;
            return 0;
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t to = zip_source_seek_compute_offset(
                static_cast<zip_uint64_t>(state->offset),
                static_cast<zip_uint64_t>(state->file->size()), data, length, &state->error);
            if (to < 0) {
                return -1;
            }
            state->offset = to;
            return 0;
        }
        case ZIP_SOURCE_TELL:
            return state->offset;
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_SEEKABLE;
        default:
            zip_error_set(&state->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

}  // namespace

ZipArchive::Entry::~Entry() {
    if (file_ != nullptr) {
        zip_fclose(file_);
    }
}

qint64 ZipArchive::Entry::fail(const QString& reason) {
    error_ = reason;
    return -1;
}

qint64 ZipArchive::Entry::read(char* buffer, qint64 size) {
    if (!error_.isEmpty()) {
        return -1;
    }
    // One byte more than the entry may still hold shows an entry that lies about its size.
    const qint64 room = declaredSize_ - inflated_ + 1;
    const zip_int64_t got =
        zip_fread(file_, buffer, static_cast<zip_uint64_t>(qMin(size, qMax<qint64>(room, 1))));
    if (got < 0) {
        return fail(damagedPart(name_, fromLibrary(zip_file_strerror(file_))));
    }
    inflated_ += got;
    if (inflated_ > declaredSize_) {
        return fail(damaged(name_ + QStringLiteral(" inflates past its declared size")));
    }
    archive_->inflatedRead_ += got;
    if (archive_->inflatedRead_ > kRatioFloor &&
        archive_->inflatedRead_ > kMostRatio * archive_->packedRead_) {
        return fail(damaged(name_ + QStringLiteral(" inflates more than %1 times its packed size")
                                        .arg(kMostRatio)));
    }
    return got;
}

ZipArchive::~ZipArchive() {
    if (archive_ != nullptr) {
        zip_discard(archive_);
    }
}

bool ZipArchive::open(DocumentFile& file) {
    auto* state = new SourceState;
    state->file = &file;
    zip_error_init(&state->error);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_function_create(sourceCallback, state, &error);
    if (source == nullptr) {
        zip_error_fini(&state->error);
        delete state;
        error_ = damaged(fromLibrary(zip_error_strerror(&error)));
        zip_error_fini(&error);
        return false;
    }
    archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (archive_ == nullptr) {
        error_ = damaged(fromLibrary(zip_error_strerror(&error)));
        zip_source_free(source);  // frees the state too
        zip_error_fini(&error);
        return false;
    }
    zip_error_fini(&error);
    const zip_int64_t n = zip_get_num_entries(archive_, 0);
    index_.reserve(static_cast<qsizetype>(qMin<zip_int64_t>(n, 1 << 20)));
    for (zip_int64_t i = 0; i < n; ++i) {
        const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), 0);
        if (name != nullptr) {
            index_.insert(QString::fromUtf8(name).toLower(), i);  // keeps the first
        }
    }
    return true;
}

qint64 ZipArchive::indexOf(const QString& name) const {
    return index_.value(name.toLower(), -1);
}

bool ZipArchive::contains(const QString& name) const {
    return indexOf(name) >= 0;
}

qint64 ZipArchive::entrySize(const QString& name) const {
    const qint64 index = indexOf(name);
    zip_stat_t st;
    zip_stat_init(&st);
    if (index < 0 || zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
        (st.valid & ZIP_STAT_SIZE) == 0) {
        return -1;
    }
    return static_cast<qint64>(st.size);
}

std::unique_ptr<ZipArchive::Entry> ZipArchive::openEntry(const QString& name) {
    const qint64 index = indexOf(name);
    zip_stat_t st;
    zip_stat_init(&st);
    if (index < 0 || zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0) {
        error_ = damaged(name + QStringLiteral(" is missing"));
        return nullptr;
    }
    if ((st.valid & ZIP_STAT_SIZE) == 0 || (st.valid & ZIP_STAT_COMP_SIZE) == 0) {
        error_ = damaged(name + QStringLiteral(" declares no size"));
        return nullptr;
    }
    zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (file == nullptr) {
        zip_error_t* error = zip_get_error(archive_);
        const int code = zip_error_code_zip(error);
        if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP) {
            error_ = DocumentErrors::encrypted();
        } else {
            error_ = damagedPart(name, fromLibrary(zip_error_strerror(error)));
        }
        zip_error_clear(archive_);
        return nullptr;
    }
    auto entry = std::make_unique<Entry>();
    entry->archive_ = this;
    entry->file_ = file;
    entry->name_ = name;
    entry->declaredSize_ = static_cast<qint64>(qMin<zip_uint64_t>(st.size, qint64{1} << 62));
    packedRead_ += static_cast<qint64>(qMin<zip_uint64_t>(st.comp_size, qint64{1} << 62));
    return entry;
}

bool ZipArchive::readSmall(const QString& name, QByteArray& out, qint64 limit) {
    out.clear();
    std::unique_ptr<Entry> entry = openEntry(name);
    if (!entry) {
        return false;
    }
    char buffer[16384];
    for (;;) {
        const qint64 got = entry->read(buffer, sizeof buffer);
        if (got < 0) {
            error_ = entry->errorString();
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (out.size() + got > limit) {
            error_ = damaged(name + QStringLiteral(" is too large"));
            return false;
        }
        out.append(buffer, got);
    }
}

}  // namespace quorvane
