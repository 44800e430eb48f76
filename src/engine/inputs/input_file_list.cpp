#include "engine/inputs/input_file_list.h"

#include "engine/core/run_progress.h"
#include "engine/formats/format_catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

bool InputFileList::insert(const QString& path, const QString& subfolder)
{
    if (index_.contains(path)) {
        return false;
    }
    entries_.push_back(InputFileEntry{path, subfolder});
    index_.insert(path, std::prev(entries_.end()));
    return true;
}

bool InputFileList::remove(const QString& path)
{
    const auto found = index_.find(path);
    if (found == index_.end()) {
        return false;
    }
    entries_.erase(found.value());
    index_.erase(found);
    return true;
}

void InputFileList::clear()
{
    index_.clear();
    entries_.clear();
}

const InputFileEntry* InputFileList::find(const QString& path) const
{
    const auto found = index_.constFind(path);
    return found == index_.constEnd() ? nullptr : &*found.value();
}

namespace {

QString withTrailingSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Folder part of a path, up to and including its last "/"; empty for a bare name.
QString folderPart(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The file's folder below the input folder. The comparison is lexical on cleaned paths, so a
// list line such as "/in/../etc/x.tif" cannot place its output outside the output folder, and a
// folder that merely contains the input folder's name further down is not taken for one below it.
QString relativeSubfolder(const QString& path, const QString& inputFolder)
{
    if (path.isEmpty() || inputFolder.isEmpty()) {
        return {};
    }
    const QString folder = folderPart(QDir::cleanPath(path));
    const QString root = withTrailingSlash(QDir::cleanPath(inputFolder));
    if (!folder.startsWith(root)) {
        return {};
    }
    return folder.mid(root.size());
}

// Entry names of a folder, without "." and "..", sorted by name without regard to letter case
// (ties by exact name) so that a scan adds files in the same order on every run.
QStringList sortedEntries(const QString& folder, bool* listed = nullptr)
{
    const QDir dir(folder);
    const bool readable = dir.exists() && dir.isReadable();
    if (listed != nullptr) {
        *listed = readable;
    }
    if (!readable) {
        return {};
    }
    QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int byName = QString::compare(a, b, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a < b;
    });
    return names;
}

struct ScanState {
    InputFileList& list;
    const JobState& job;
    const InputListHooks* hooks;
    QSet<QString> ancestors; // canonical folders being scanned: a symbolic link back to one ends there
    // The console run's output folder, canonical: converting it again would nest outputs anew on
    // every run. Empty in the windowed mode, whose output folder is chosen after the import.
    QString outputFolder = job.consoleRun != 0 ? QFileInfo(job.outputFolder).canonicalFilePath() : QString();
};

int scanFolderInto(ScanState& scan, const QString& folder);

// One entry of a listed folder: a subfolder is scanned, a file offered to the list.
int addEntry(ScanState& scan, const QString& folder, const QString& name)
{
    const QString path = folder + name;
    if (QFileInfo(path).isDir()) {
        if (!scan.outputFolder.isEmpty() && QFileInfo(path).canonicalFilePath() == scan.outputFolder) {
            return 0;
        }
        return scanFolderInto(scan, withTrailingSlash(path));
    }
    return addInputFile(scan.list, scan.job, path, scan.hooks) ? 1 : 0;
}

int scanFolderInto(ScanState& scan, const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || scan.ancestors.contains(canonical)) {
        return 0;
    }
    scan.ancestors.insert(canonical);
    int added = 0;
    for (const QString& name : sortedEntries(folder)) {
        added += addEntry(scan, folder, name);
    }
    scan.ancestors.remove(canonical);
    return added;
}

// A list file's text: a byte order mark selects the encoding it announces and is skipped;
// without one the text is UTF-8.
QString decodeListText(const QByteArray& bytes)
{
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    qsizetype skip = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        skip = 3;
    } else if (bytes.startsWith(QByteArray("\xFF\xFE\x00\x00", 4))) {
        encoding = QStringConverter::Utf32LE;
        skip = 4;
    } else if (bytes.startsWith(QByteArray("\x00\x00\xFE\xFF", 4))) {
        encoding = QStringConverter::Utf32BE;
        skip = 4;
    } else if (bytes.startsWith("\xFF\xFE")) {
        encoding = QStringConverter::Utf16LE;
        skip = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        encoding = QStringConverter::Utf16BE;
        skip = 2;
    }
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes).sliced(skip));
}

// Lines end at CR, LF or CR LF.
QStringList splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.append(text.mid(start));
    }
    return lines;
}

} // namespace

QString inputExtensionOf(const QString& path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path.at(i);
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(' ')) {
            return {};
        }
        if (c != QLatin1Char('.')) {
            continue;
        }
        // A dot that begins the name (".tif", "dir/.tif") makes no extension.
        if (i == 0 || path.at(i - 1) == QLatin1Char('/') || path.at(i - 1) == QLatin1Char('\\')) {
            return {};
        }
        const QString extension = path.mid(i + 1);
        const qsizetype quote = extension.indexOf(QLatin1Char('"'));
        return quote < 0 ? extension : extension.left(quote);
    }
    return {};
}

bool addInputFile(InputFileList& list, const JobState& job, const QString& path, const InputListHooks* hooks)
{
    // A path that does not exist passes here; it fails when converted. A folder is never a file
    // of the list, whatever its name.
    const QFileInfo info(path);
    if (info.exists() && (info.isDir() || info.size() == 0)) {
        return false;
    }
    if (!isInputExtension(inputExtensionOf(path).toLower())) {
        return false;
    }
    if (!list.insert(path, relativeSubfolder(path, job.inputFolder))) {
        return false;
    }
    if (job.consoleRun == 0 && hooks != nullptr) {
        if (hooks->rowAppended) {
            hooks->rowAppended(path);
        }
        if (hooks->outputFolderProposed) {
            hooks->outputFolderProposed(job.inputFolder.isEmpty() ? folderPart(path) : job.inputFolder);
        }
    }
    return true;
}

int scanFolder(InputFileList& list, const JobState& job, const QString& folder, const InputListHooks* hooks)
{
    ScanState scan{list, job, hooks, {}};
    return scanFolderInto(scan, withTrailingSlash(folder));
}

int topLevelEntryCount(const QString& folder)
{
    return static_cast<int>(sortedEntries(folder).size());
}

int listLineEstimate(const QString& listFile)
{
    QFile file(listFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return 1;
    }
    return static_cast<int>(file.readAll().count('\n')) + 1;
}

void folderImportWorker(InputFileList& list, const JobState& job, RunProgress& progress, const InputListHooks* hooks)
{
    const QString root = withTrailingSlash(job.inputFolder);
    ScanState scan{list, job, hooks, {}};
    scan.ancestors.insert(QFileInfo(root).canonicalFilePath());
    int added = 0;
    int step = 0;
    for (const QString& name : sortedEntries(root)) {
        progress.passGate();
        if (!progress.isRunning()) {
            break;
        }
        progress.setProcessed(++step);
        added += addEntry(scan, root, name);
    }
    progress.addConverted(added);
}

void listImportWorker(InputFileList& list, const JobState& job, RunProgress& progress, const InputListHooks* hooks)
{
    int added = 0;
    QFile file(job.file.inputPath);
    if (file.open(QIODevice::ReadOnly)) {
        const QStringList lines = splitLines(decodeListText(file.readAll()));
        file.close();
        ScanState scan{list, job, hooks, {}};
        int step = 0;
        for (const QString& rawLine : lines) {
            progress.passGate();
            if (!progress.isRunning()) {
                break;
            }
            const QString line = rawLine.trimmed();
            const QFileInfo info(line);
            if (line.isEmpty()) {
                continue;
            }
            if (!info.exists()) {
                if (hooks != nullptr && hooks->lineSkipped) {
                    hooks->lineSkipped(line);
                }
                continue;
            }
            progress.setProcessed(++step);
            if (info.isDir()) {
                added += scanFolderInto(scan, withTrailingSlash(line));
            } else {
                added += addInputFile(list, job, line, hooks) ? 1 : 0;
            }
        }
    }
    progress.addConverted(added);
}
