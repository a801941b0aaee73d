// The composers' drag-and-drop file views and their two event filters: which drops each view
// takes and what it reports, when a press-and-move becomes a drag, and the keys and focus
// the filters report.

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <functional>
#include <memory>

#include "articoloinviofilecomposertableview.h"
#include "lineeditfiltraeventfilter.h"
#include "qlistviewfileselection.h"
#include "qlistviewselectedfiles.h"
#include "qlistwidgetselectedfiles.h"
#include "qtableviewfileselection.h"
#include "qtableviewselectedfiles.h"
#include "selectedfileseventfilter.h"

using ViewFactory = std::function<QAbstractItemView *()>;
Q_DECLARE_METATYPE(ViewFactory)

namespace {

// Whether a drop is taken: by the view's own rule, or left to the toolkit's item-view rules.
enum class Acceptance { No, Yes, Toolkit };

enum class Payload { Add, Remove, Urls, UrlsAndAdd, Bare, OtherCase };

std::unique_ptr<QMimeData> makePayload(Payload kind)
{
    auto data = std::make_unique<QMimeData>();
    switch (kind) {
    case Payload::Add:
        data->setProperty("Operation", QStringLiteral("ADD_FILES"));
        break;
    case Payload::Remove:
        data->setProperty("Operation", QStringLiteral("REMOVE_FILES"));
        break;
    case Payload::Urls:
        data->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
        break;
    case Payload::UrlsAndAdd:
        data->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
        data->setProperty("Operation", QStringLiteral("REMOVE_FILES"));
        break;
    case Payload::Bare:
        data->setText(QStringLiteral("ADD_FILES"));
        break;
    case Payload::OtherCase:
        data->setProperty("Operation", QStringLiteral("add_files"));
        break;
    }
    return data;
}

// The toolkit delivers drag-and-drop events only during a drag of its own, which the headless
// platform ends at once: the tests hand the events to the views' handlers themselves.
struct DropTarget
{
    virtual ~DropTarget() = default;
    virtual void enter(QDragEnterEvent *event) = 0;
    virtual void moveOver(QDragMoveEvent *event) = 0;
    virtual void drop(QDropEvent *event) = 0;
};

template <class View> class Exposed final : public View, public DropTarget
{
public:
    Exposed() : View(nullptr) {}
    void enter(QDragEnterEvent *event) override { View::dragEnterEvent(event); }
    void moveOver(QDragMoveEvent *event) override { View::dragMoveEvent(event); }
    void drop(QDropEvent *event) override { View::dropEvent(event); }
};

// A view with a small model, shown, so that items have places to be pressed on.
template <class View> QAbstractItemView *makeView()
{
    auto *view = new Exposed<View>;
    auto *model = new QStandardItemModel(view);
    for (int i = 0; i < 5; ++i)
        model->appendRow(new QStandardItem(QStringLiteral("file %1.jpg").arg(i)));
    view->setModel(model);
    view->setObjectName(QStringLiteral("view"));
    view->resize(300, 300);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    // As the composers' forms set them.
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setAcceptDrops(true);
    view->show();
    return view;
}

bool dropOn(QAbstractItemView *view, const QMimeData *data)
{
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    dynamic_cast<DropTarget &>(*view).drop(&drop);
    return drop.isAccepted();
}

void mouse(QAbstractItemView *view, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, pos, view->viewport()->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &event);
}

// The drag a move started, if any (it lives until the event loop deletes it).
QDrag *startedDrag(QAbstractItemView *view)
{
    return view->findChild<QDrag *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class TestFileViews : public QObject
{
    Q_OBJECT

private slots:
    void dropsTakenAndReported_data();
    void dropsTakenAndReported();
    void dragOverAccepted_data();
    void dragOverAccepted();
    void fileSystemDropListsEveryUrlInOrder_data();
    void fileSystemDropListsEveryUrlInOrder();
    void listWidgetPassesTheDropData();
    void dragGesture_data();
    void dragGesture();
    void rubberBandNeverTurnsIntoADrag();
    void standAloneTableDrag_data();
    void standAloneTableDrag();
    void deleteKeyBecomesCancel_data();
    void deleteKeyBecomesCancel();
    void focusInReportedAndHandled();
};

void TestFileViews::dropsTakenAndReported_data()
{
    QTest::addColumn<ViewFactory>("make");
    QTest::addColumn<int>("payload");
    QTest::addColumn<int>("accepted");
    QTest::addColumn<QByteArray>("signal");

    const QByteArray fromSelection = QByteArrayLiteral("2dropFromFileSelection()");
    const QByteArray fromSystem = QByteArrayLiteral("2dropFromFileSystem(QList<QFileInfo>)");
    const QByteArray fromSelected = QByteArrayLiteral("2dropFromSelectedFiles()");

    const struct {
        const char *name;
        ViewFactory make;
        bool selectedRole;
    } views[] = {
        {"list of chosen files", [] { return makeView<QListViewSelectedFiles>(); }, true},
        {"table of chosen files", [] { return makeView<QTableViewSelectedFiles>(); }, true},
        {"list browser", [] { return makeView<QListViewFileSelection>(); }, false},
        {"table browser", [] { return makeView<QTableViewFileSelection>(); }, false},
    };
    for (const auto &v : views) {
        auto row = [&](const char *what, Payload p, Acceptance accepted, const QByteArray &signal) {
            QTest::addRow("%s, %s", v.name, what) << v.make << int(p) << int(accepted) << signal;
        };
        if (v.selectedRole) {
            row("add", Payload::Add, Acceptance::Yes, fromSelection);
            row("own remove", Payload::Remove, Acceptance::No, QByteArray());
            row("urls", Payload::Urls, Acceptance::Yes, fromSystem);
            row("urls with an operation", Payload::UrlsAndAdd, Acceptance::Yes, fromSystem);
            row("no operation", Payload::Bare, Acceptance::No, QByteArray());
            row("operation in other case", Payload::OtherCase, Acceptance::No, QByteArray());
        } else {
            row("remove", Payload::Remove, Acceptance::Yes, fromSelected);
            row("own add", Payload::Add, Acceptance::No, QByteArray());
            row("no operation", Payload::Bare, Acceptance::No, QByteArray());
            // Files from outside go to the view's own drop rules: no signal.
            row("urls", Payload::Urls, Acceptance::Toolkit, QByteArray());
        }
    }
}

void TestFileViews::dropsTakenAndReported()
{
    QFETCH(ViewFactory, make);
    QFETCH(int, payload);
    QFETCH(int, accepted);
    QFETCH(QByteArray, signal);
    const auto acceptance = Acceptance(accepted);

    std::unique_ptr<QAbstractItemView> view(make());
    const QMetaObject *meta = view->metaObject();
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        if (meta->method(i).methodType() == QMetaMethod::Signal)
            spies.push_back(std::make_unique<QSignalSpy>(view.get(), ("2" + meta->method(i).methodSignature()).constData()));
    }
    QVERIFY(!spies.empty());

    const auto data = makePayload(Payload(payload));
    const bool wasAccepted = dropOn(view.get(), data.get());
    if (acceptance != Acceptance::Toolkit)
        QCOMPARE(wasAccepted, acceptance == Acceptance::Yes);

    for (const auto &spy : spies) {
        const QByteArray name = "2" + spy->signal();
        QCOMPARE(spy->count(), name == signal ? 1 : 0);
    }
}

void TestFileViews::dragOverAccepted_data()
{
    QTest::addColumn<ViewFactory>("make");
    QTest::addColumn<int>("payload");
    QTest::addColumn<bool>("enter");
    QTest::addColumn<bool>("move");

    const struct {
        const char *name;
        ViewFactory make;
        bool selectedRole;
    } views[] = {
        {"list of chosen files", [] { return makeView<QListViewSelectedFiles>(); }, true},
        {"table of chosen files", [] { return makeView<QTableViewSelectedFiles>(); }, true},
        {"list browser", [] { return makeView<QListViewFileSelection>(); }, false},
        {"table browser", [] { return makeView<QTableViewFileSelection>(); }, false},
    };
    // The views' model takes neither URLs nor bare text, so where the toolkit's rules decide
    // the answer is no.
    for (const auto &v : views) {
        auto row = [&](const char *what, Payload p, bool enter, bool move) {
            QTest::addRow("%s, %s", v.name, what) << v.make << int(p) << enter << move;
        };
        row("add", Payload::Add, v.selectedRole, v.selectedRole);
        row("remove", Payload::Remove, !v.selectedRole, !v.selectedRole);
        row("urls", Payload::Urls, v.selectedRole, true);
        row("bare", Payload::Bare, false, false);
    }
}

void TestFileViews::dragOverAccepted()
{
    QFETCH(ViewFactory, make);
    QFETCH(int, payload);
    QFETCH(bool, enter);
    QFETCH(bool, move);

    std::unique_ptr<QAbstractItemView> view(make());
    auto &target = dynamic_cast<DropTarget &>(*view);
    const auto data = makePayload(Payload(payload));
    QDragEnterEvent entering(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    entering.ignore();
    target.enter(&entering);
    QCOMPARE(entering.isAccepted(), enter);
    QDragMoveEvent moving(QPoint(6, 6), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    moving.ignore();
    target.moveOver(&moving);
    QCOMPARE(moving.isAccepted(), move);
}

void TestFileViews::fileSystemDropListsEveryUrlInOrder_data()
{
    QTest::addColumn<ViewFactory>("make");
    QTest::newRow("list") << ViewFactory([] { return makeView<QListViewSelectedFiles>(); });
    QTest::newRow("table") << ViewFactory([] { return makeView<QTableViewSelectedFiles>(); });
}

void TestFileViews::fileSystemDropListsEveryUrlInOrder()
{
    QFETCH(ViewFactory, make);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString a = dir.filePath(QStringLiteral("b primo.txt"));
    const QString folder = dir.filePath(QStringLiteral("cartella"));
    const QString missing = dir.filePath(QStringLiteral("nessuno.txt"));
    QFile f(a);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(QDir().mkpath(folder));

    std::unique_ptr<QAbstractItemView> view(make());
    QSignalSpy spy(view.get(), SIGNAL(dropFromFileSystem(QList<QFileInfo>)));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(folder), QUrl::fromLocalFile(missing),
                  QUrl::fromLocalFile(a), QUrl(QStringLiteral("https://example.invalid/page.html"))});
    QVERIFY(dropOn(view.get(), &data));
    QCOMPARE(spy.count(), 1);
    const auto files = spy.at(0).at(0).value<QList<QFileInfo>>();
    QCOMPARE(files.size(), 5);
    QCOMPARE(files.at(0).filePath(), a);
    QVERIFY(files.at(1).isDir());
    QCOMPARE(files.at(2).filePath(), missing);
    QVERIFY(!files.at(2).exists());
    QCOMPARE(files.at(3).filePath(), a);
    QCOMPARE(files.at(4).filePath(), QString());
}

void TestFileViews::listWidgetPassesTheDropData()
{
    Exposed<QListWidgetSelectedFiles> view;
    view.setDragDropMode(QAbstractItemView::DragDrop);
    QSignalSpy system(&view, &QListWidgetSelectedFiles::dropFromFileSystem);
    QSignalSpy selection(&view, &QListWidgetSelectedFiles::dropFromFileSelection);
    const QMimeData *seen = nullptr;
    QList<QUrl> seenUrls;
    connect(&view, &QListWidgetSelectedFiles::dropFromFileSystem, this, [&](const QMimeData *data) {
        seen = data;
        seenUrls = data->urls();
    });

    const auto urls = makePayload(Payload::UrlsAndAdd);
    QDropEvent drop(QPointF(5, 5), Qt::MoveAction, urls.get(), Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    view.drop(&drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(seen, urls.get());
    QCOMPARE(seenUrls, urls->urls());
    QCOMPARE(selection.count(), 0);

    const auto add = makePayload(Payload::Add);
    QDropEvent addDrop(QPointF(5, 5), Qt::MoveAction, add.get(), Qt::LeftButton, Qt::NoModifier);
    addDrop.ignore();
    view.drop(&addDrop);
    QVERIFY(addDrop.isAccepted());
    QCOMPARE(selection.count(), 1);
    QCOMPARE(system.count(), 1);
}

void TestFileViews::dragGesture_data()
{
    QTest::addColumn<ViewFactory>("make");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("pressAtOrigin");
    QTest::addColumn<int>("distanceOffThreshold");
    QTest::addColumn<bool>("drags");

    const struct {
        const char *name;
        ViewFactory make;
        const char *operation;
    } views[] = {
        {"list of chosen files", [] { return makeView<QListViewSelectedFiles>(); }, "REMOVE_FILES"},
        {"table of chosen files", [] { return makeView<QTableViewSelectedFiles>(); }, "REMOVE_FILES"},
        {"list browser", [] { return makeView<QListViewFileSelection>(); }, "ADD_FILES"},
        {"table browser", [] { return makeView<QTableViewFileSelection>(); }, "ADD_FILES"},
        {"list widget", [] {
             auto *w = new QListWidgetSelectedFiles(nullptr);
             w->addItems({QStringLiteral("a"), QStringLiteral("b")});
             w->resize(300, 300);
             w->show();
             return static_cast<QAbstractItemView *>(w);
         }, "REMOVE_FILES"},
    };
    for (const auto &v : views) {
        const QString op = QString::fromLatin1(v.operation);
        QTest::addRow("%s, below the distance", v.name) << v.make << op << false << -1 << false;
        QTest::addRow("%s, at the distance", v.name) << v.make << op << false << 0 << true;
        QTest::addRow("%s, past the distance", v.name) << v.make << op << false << 5 << true;
        QTest::addRow("%s, pressed at the corner", v.name) << v.make << op << true << 5 << false;
    }
}

void TestFileViews::dragGesture()
{
    QFETCH(ViewFactory, make);
    QFETCH(QString, operation);
    QFETCH(bool, pressAtOrigin);
    QFETCH(int, distanceOffThreshold);
    QFETCH(bool, drags);

    std::unique_ptr<QAbstractItemView> view(make());
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    // Select the first item from the keyboard's point of view, so the press is the gesture.
    view->selectionModel()->select(view->model()->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QPoint start = pressAtOrigin ? QPoint(0, 0) : view->visualRect(view->model()->index(0, 0)).center();
    mouse(view.get(), QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(!view->selectionModel()->selectedIndexes().isEmpty());
    const QItemSelection before = view->selectionModel()->selection();

    const int distance = QApplication::startDragDistance() + distanceOffThreshold;
    const QPoint to = start + QPoint(distance, 0);
    mouse(view.get(), QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);

    QDrag *drag = startedDrag(view.get());
    QCOMPARE(drag != nullptr, drags);
    if (drag) {
        QCOMPARE(drag->mimeData()->formats(), QStringList());
        QCOMPARE(drag->mimeData()->property("Operation").toString(), operation);
        QCOMPARE(drag->source(), view.get());
    } else {
        // The move was swallowed: the selection did not follow the pointer.
        QCOMPARE(view->selectionModel()->selection(), before);
    }
    mouse(view.get(), QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

void TestFileViews::rubberBandNeverTurnsIntoADrag()
{
    std::unique_ptr<QAbstractItemView> view(makeView<QListViewSelectedFiles>());
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    view->clearSelection();
    const QPoint empty(250, 280);
    const QPoint onItem = view->visualRect(view->model()->index(0, 0)).center();
    mouse(view.get(), QEvent::MouseButtonPress, empty, Qt::LeftButton, Qt::LeftButton);
    mouse(view.get(), QEvent::MouseMove, empty - QPoint(30, 30), Qt::NoButton, Qt::LeftButton);
    QVERIFY(!startedDrag(view.get()));
    // Items are selected now, yet the same gesture still starts no drag.
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::Select);
    mouse(view.get(), QEvent::MouseMove, onItem, Qt::NoButton, Qt::LeftButton);
    QVERIFY(!startedDrag(view.get()));
    mouse(view.get(), QEvent::MouseButtonRelease, onItem, Qt::LeftButton, Qt::NoButton);

    // After the release a press on an item may drag again.
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    mouse(view.get(), QEvent::MouseButtonPress, onItem, Qt::LeftButton, Qt::LeftButton);
    mouse(view.get(), QEvent::MouseMove, onItem + QPoint(0, 20), Qt::NoButton, Qt::LeftButton);
    QVERIFY(startedDrag(view.get()));
}

void TestFileViews::standAloneTableDrag_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<int>("firstMoveX");
    QTest::addColumn<int>("secondMoveX");
    QTest::addColumn<bool>("drags");
    const int far = 200;
    QTest::newRow("selection, far from the corner") << true << far << -1 << true;
    // Measured from the corner of the item area, not from the press.
    QTest::newRow("selection, near the corner") << true << 0 << -1 << false;
    // Only the first move after the press may start it.
    QTest::newRow("near, then far") << true << 0 << far << false;
    QTest::newRow("no selection") << false << far << far << false;
}

void TestFileViews::standAloneTableDrag()
{
    QFETCH(bool, selected);
    QFETCH(int, firstMoveX);
    QFETCH(int, secondMoveX);
    QFETCH(bool, drags);

    ArticoloInvioFileComposerTableView view(nullptr);
    QStandardItemModel model(4, 2);
    view.setModel(&model);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QRect cell = view.visualRect(model.index(1, 0));
    mouse(&view, QEvent::MouseButtonPress, cell.center(), Qt::LeftButton, Qt::LeftButton);
    if (!selected)
        view.clearSelection();
    QCOMPARE(!view.selectionModel()->selectedIndexes().isEmpty(), selected);
    // The item area's corner is (0,0): a move there lies within the drag distance of it.
    const int y = firstMoveX == 0 ? 0 : cell.center().y();
    mouse(&view, QEvent::MouseMove, QPoint(firstMoveX, y), Qt::NoButton, Qt::LeftButton);
    if (secondMoveX >= 0)
        mouse(&view, QEvent::MouseMove, QPoint(secondMoveX, cell.center().y()), Qt::NoButton, Qt::LeftButton);
    QDrag *drag = view.findChild<QDrag *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(drag != nullptr, drags);
    if (drag)
        QCOMPARE(drag->mimeData()->property("Operation").toString(), QStringLiteral("DROP_DATA"));
}

void TestFileViews::deleteKeyBecomesCancel_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<bool>("cancels");
    QTest::newRow("delete") << int(Qt::Key_Delete) << Qt::KeyboardModifiers() << false << true;
    QTest::newRow("shift+delete") << int(Qt::Key_Delete) << Qt::KeyboardModifiers(Qt::ShiftModifier) << false << true;
    QTest::newRow("delete held down") << int(Qt::Key_Delete) << Qt::KeyboardModifiers() << true << true;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << Qt::KeyboardModifiers() << false << false;
    QTest::newRow("letter") << int(Qt::Key_A) << Qt::KeyboardModifiers() << false << false;
}

void TestFileViews::deleteKeyBecomesCancel()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, autoRepeat);
    QFETCH(bool, cancels);

    // A line edit shows whether the key reached the watched widget.
    QLineEdit watched;
    watched.setText(QStringLiteral("xyz"));
    watched.setCursorPosition(1);
    selectedFilesEventFilter filter;
    watched.installEventFilter(&filter);
    QSignalSpy spy(&filter, &selectedFilesEventFilter::cancelKeyPressed);

    QKeyEvent press(QEvent::KeyPress, key, modifiers, key == Qt::Key_A ? QStringLiteral("a") : QString(), autoRepeat);
    QApplication::sendEvent(&watched, &press);
    QCOMPARE(spy.count(), cancels ? 1 : 0);
    QCOMPARE(watched.text() == QStringLiteral("xyz"), cancels);
}

void TestFileViews::focusInReportedAndHandled()
{
    QWidget window;
    auto *other = new QLineEdit(&window);
    auto *filtra = new QLineEdit(&window);
    filtra->move(0, 40);
    lineEditFiltraEventFilter filter;
    filtra->installEventFilter(&filter);
    QSignalSpy spy(&filter, &lineEditFiltraEventFilter::focusIn);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));

    other->setFocus(Qt::OtherFocusReason);
    filtra->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(spy.count(), 1);
    other->setFocus(Qt::OtherFocusReason);
    filtra->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(spy.count(), 2);
    // The line edit handled its focus-in too: typing goes into it.
    QTest::keyClicks(filtra, QStringLiteral("ab"));
    QCOMPARE(filtra->text(), QStringLiteral("ab"));
}

QTEST_MAIN(TestFileViews)
#include "tst_fileviews.moc"
