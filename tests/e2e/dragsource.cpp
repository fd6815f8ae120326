// A drag source for end-to-end tests: a small window titled "dragsource" that drags the files named
// on its command line as a file-manager would, once a mouse button is pressed in it.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

class DragSource : public QWidget {
public:
    explicit DragSource(QList<QUrl> urls) : urls(std::move(urls)) {
        setWindowTitle(QStringLiteral("dragsource"));
        setGeometry(20, 20, 120, 80);
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* mime = new QMimeData;
        mime->setUrls(urls);
        auto* drag = new QDrag(this); // owned by this window; Qt deletes it after exec
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction);
    }

private:
    QList<QUrl> urls;
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (int i = 1; i < argc; ++i)
        urls << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
    DragSource source(urls);
    source.show();
    return app.exec();
}
