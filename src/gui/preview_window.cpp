#include "gui/preview_window.h"

#include "app/message_catalogue.h"
#include "gui/desktop_records.h"
#include "gui/file_list_model.h"
#include "gui/output_choosers.h"
#include "gui/preview_view.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr QSize initialSize{900, 680};
constexpr int gapBesideMainWindow = 8;

QString text(const char* key)
{
    return message(QStringLiteral("Preview/") + QLatin1String(key));
}

// Label texts end in ":"; a screen reader names the control without it.
QString nameOf(const QString& label)
{
    return label.endsWith(QLatin1Char(':')) ? label.chopped(1) : label;
}

QLabel* labelFor(const QString& caption, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    buddy->setAccessibleName(nameOf(caption));
    return label;
}

QLabel* infoLine(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

} // namespace

PreviewWindow::PreviewWindow(QWidget& mainWindow, PreviewSources sources, DesktopRecords& records)
    : QWidget(&mainWindow, Qt::Window), mainWindow_(mainWindow), sources_(sources), records_(records),
      worker_([this](std::uint64_t number, const PagePreview& preview) {
          QMetaObject::invokeMethod(
              this, [this, number, preview] { deliver(number, preview); }, Qt::QueuedConnection);
      })
{
    setWindowTitle(text("Title"));
    setAccessibleName(text("Title"));
    buildControls();
    connectToMainWindow();
    resize(initialSize);
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::buildControls()
{
    page_ = new QSpinBox(this);
    page_->setRange(1, 1);
    pageCount_ = new QLabel(this);
    // Empty until the first preview arrives: its room is kept from the start, so the window's
    // narrowest width, by which it is placed beside the main window, does not grow once it is shown.
    pageCount_->setMinimumWidth(
        pageCount_->fontMetrics().horizontalAdvance(substituteMessage(text("Page Count"), QStringLiteral("9999"))));
    layout_ = new QComboBox(this);
    layout_->addItem(text("Side By Side"));
    layout_->addItem(text("Split"));
    fit_ = new QPushButton(text("Fit"), this);
    actualSize_ = new QPushButton(text("Actual Size"), this);
    zoom_ = new QButtonGroup(this);
    for (QPushButton* button : {fit_, actualSize_}) {
        button->setCheckable(true);
        button->setAccessibleName(button->text());
        zoom_->addButton(button);
    }
    fit_->setChecked(true);
    view_ = new PreviewView(this);
    view_->setAccessibleName(text("Pictures"));
    status_ = infoLine(this);
    size_ = infoLine(this);
    bytes_ = infoLine(this);
    name_ = infoLine(this);

    auto* bar = new QHBoxLayout;
    bar->addWidget(labelFor(text("Page"), page_, this));
    bar->addWidget(page_);
    bar->addWidget(pageCount_);
    bar->addSpacing(16);
    bar->addWidget(labelFor(text("View"), layout_, this));
    bar->addWidget(layout_);
    bar->addSpacing(16);
    bar->addWidget(fit_);
    bar->addWidget(actualSize_);
    bar->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(bar);
    column->addWidget(view_, 1);
    for (QLabel* line : {status_, size_, bytes_, name_}) {
        column->addWidget(line);
    }
    setTabOrder(page_, layout_);
    setTabOrder(layout_, fit_);
    setTabOrder(fit_, actualSize_);
    setTabOrder(actualSize_, view_);

    // Escape closes the window, as it closes the program's dialogs.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    connect(page_, &QSpinBox::valueChanged, this, [this](int value) { request(value - 1); });
    connect(layout_, &QComboBox::currentIndexChanged, this, [this](int index) {
        view_->setLayout(index == 1 ? PreviewView::Layout::Split : PreviewView::Layout::SideBySide);
    });
    // Toggled rather than clicked: assistive technologies toggle a checkable button without a click.
    connect(fit_, &QPushButton::toggled, view_, &PreviewView::setFitToWindow);
}

void PreviewWindow::connectToMainWindow()
{
    QTreeView& list = sources_.list;
    // The file shown is the first selected row, or the first row: a change of either counts.
    const auto inputMayChange = [this] {
        if (currentInput() != shownInput_) {
            refresh();
        }
    };
    connect(list.selectionModel(), &QItemSelectionModel::selectionChanged, this, inputMayChange);
    connect(list.model(), &QAbstractItemModel::rowsInserted, this, inputMayChange);
    connect(list.model(), &QAbstractItemModel::rowsRemoved, this, inputMayChange);
    connect(list.model(), &QAbstractItemModel::modelReset, this, inputMayChange);
    connect(&sources_.formats, &QComboBox::currentIndexChanged, this, &PreviewWindow::refresh);
    connect(&sources_.folders, &QComboBox::currentTextChanged, this, &PreviewWindow::refresh);
}

void PreviewWindow::open()
{
    if (!placed_) {
        placed_ = true;
        placeBesideMainWindow();
    }
    show();
    raise();
    activateWindow();
}

QRect placeBeside(const QRect& main, const QRect& room, QSize wanted, int narrowest, QSize frame)
{
    // Right of the main window, else left of it; where neither side holds the window, the larger
    // side gets it, narrowed to fit. It covers the main window (its toolbar, the Convert button)
    // only where even its narrowest width does not fit beside it.
    const int rightRoom = room.right() - main.right() - gapBesideMainWindow - frame.width();
    const int leftRoom = main.left() - room.left() - gapBesideMainWindow - frame.width();
    const bool right = rightRoom >= wanted.width() || (leftRoom < wanted.width() && rightRoom >= leftRoom);
    const QSize size(std::min(wanted.width(), std::max(right ? rightRoom : leftRoom, narrowest)),
                     std::min(wanted.height(), room.height() - frame.height()));
    const QSize outer = size + frame;
    const int x = right ? main.right() + 1 + gapBesideMainWindow : main.left() - gapBesideMainWindow - outer.width();
    const QPoint at(std::clamp(x, room.left(), std::max(room.left(), room.right() + 1 - outer.width())),
                    std::clamp(main.top(), room.top(), std::max(room.top(), room.bottom() + 1 - outer.height())));
    return {at, size};
}

void PreviewWindow::placeBesideMainWindow()
{
    const QRect main = mainWindow_.frameGeometry();
    const QScreen* screen = mainWindow_.screen();
    if (screen == nullptr) {
        move(main.topRight() + QPoint(gapBesideMainWindow, 0));
        return;
    }
    // Not shown yet, this window has no frame to measure: the main window's stands in for it.
    const QRect placed = placeBeside(main, screen->availableGeometry(), size(), minimumSizeHint().width(),
                                     main.size() - mainWindow_.size());
    resize(placed.size());
    move(placed.topLeft());
}

void PreviewWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

QString PreviewWindow::currentInput() const
{
    const QModelIndexList selected = sources_.list.selectionModel()->selectedRows();
    int row = 0;
    if (!selected.isEmpty()) {
        row = selected.first().row();
        for (const QModelIndex& index : selected) {
            row = std::min(row, index.row());
        }
    }
    return row < sources_.rows.rowCount() ? sources_.rows.path(row) : QString();
}

void PreviewWindow::refresh()
{
    // The same file keeps the page the user chose; request() starts a new file at its first page.
    if (isVisible()) {
        request(chosenPage_);
    }
}

void PreviewWindow::request(int pageIndex)
{
    const QString input = currentInput();
    // A new file starts at the first page the run converts, and nothing of the previous file stays
    // on show while it is worked on.
    if (input != shownInput_) {
        pageIndex = -1;
        view_->setPictures(QImage(), 1.0, QImage(), 1.0);
    }
    chosenPage_ = pageIndex;
    shownInput_ = input;
    // The figures and the name describe what was shown last; they come back with the new result.
    size_->clear();
    bytes_->clear();
    name_->clear();
    if (input.isEmpty()) {
        worker_.abandon();
        busy_ = false;
        shown_ = PagePreview{};
        showPreview(shown_);
        status_->setText(text("Empty List"));
        emit previewShown();
        return;
    }
    PreviewRequest next;
    next.settings = records_.settings;
    next.job = records_.job;
    next.job.outputKey = selectedOutputFormat(sources_.formats);
    next.job.outputFolder = sources_.folders.currentText().trimmed();
    next.inputPath = input;
    if (const InputFileEntry* entry = records_.inputFiles.find(input)) {
        next.subfolder = entry->subfolder;
    }
    next.pageIndex = pageIndex;
    next.firstLookPixels = firstLookPixels_;
    next.reducedSide = reducedSide_;
    busy_ = true;
    status_->setText(substituteMessage(text("Working"), QFileInfo(input).fileName()));
    worker_.request(std::move(next));
}

void PreviewWindow::setFirstLook(std::uint64_t pixels, std::uint32_t reducedSide)
{
    firstLookPixels_ = pixels;
    reducedSide_ = reducedSide;
}

void PreviewWindow::deliver(std::uint64_t number, const PagePreview& preview)
{
    if (number != worker_.newest()) {
        return;
    }
    showPreview(preview);
    if (preview.firstLook) {
        const QString width = QString::number(preview.sourceWidth);
        const QString height = QString::number(preview.sourceHeight);
        if (preview.fromReducedResolutionPage) {
            status_->setText(substituteMessage(text("Reduced Copy Look"), width, height));
        } else if (preview.reducedStep > 0) {
            status_->setText(
                substituteMessage(text("Reduced Look"), width, height, QString::number(preview.reducedStep)));
        } else {
            status_->setText(substituteMessage(text("First Look"), width, height));
        }
        emit firstLookShown();
        return;
    }
    busy_ = false;
    shown_ = preview;
    showDetails(preview);
    emit previewShown();
}

void PreviewWindow::showPreview(const PagePreview& preview)
{
    view_->setPictures(preview.before, preview.displayScale, preview.after, preview.afterScale);
    const QSignalBlocker quiet(page_);
    page_->setRange(1, std::max(1, preview.pageCount));
    page_->setValue(preview.pageIndex + 1);
    page_->setEnabled(preview.pageCount > 1);
    pageCount_->setText(substituteMessage(text("Page Count"), QString::number(std::max(1, preview.pageCount))));
    size_->clear();
    bytes_->clear();
    name_->clear();
}

void PreviewWindow::showDetails(const PagePreview& preview)
{
    QStringList notes;
    if (!preview.problem.isEmpty()) {
        notes << (preview.fileFailed ? substituteMessage(text("Unreadable"), preview.problem) : preview.problem);
    } else if (preview.after.isNull()) {
        notes << text("Cannot Show");
    }
    if (!preview.pageConverted) {
        notes << text("Not Converted");
    }
    if (preview.displayScale < 1.0 || preview.afterScale < 1.0) {
        const double scale = std::min(preview.displayScale, preview.afterScale);
        notes << substituteMessage(text("Shown Scaled"), QString::number(qRound(scale * 100)));
    }
    status_->setText(notes.join(QLatin1Char(' ')));
    if (preview.width > 0) {
        size_->setText(substituteMessage(text("Output Size"), QString::number(preview.width),
                                         QString::number(preview.height), QString::number(preview.depth)));
    }
    if (preview.bytes > 0) {
        bytes_->setText(substituteMessage(text("Output Bytes"), QLocale().toString(preview.bytes),
                                          QString::number(preview.milliseconds)));
    }
    if (!preview.outputPath.isEmpty()) {
        name_->setText(substituteMessage(text("Output Name"), preview.outputPath));
    }
}

QString PreviewWindow::statusText() const
{
    return status_->text();
}

QString PreviewWindow::detailsText() const
{
    return QStringList{size_->text(), bytes_->text(), name_->text()}.join(QLatin1Char('\n'));
}
