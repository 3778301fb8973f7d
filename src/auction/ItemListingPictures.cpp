// The item listing's pictures: looked up row by row, the rows on screen first,
// decoded off the window's thread and placed as they come.
#include "auction/ItemListing.h"

#include "auction/ItemPictureDelegate.h"
#include "auction_core/ItemTableModel.h"
#include "data/DataControl.h"
#include "data/DataError.h"
#include "data/ItemPictures.h"
#include "data/ThumbnailPipeline.h"
#include "data/frmadoHelper.h"
#include "windows/MessageBox.h"

#include <QElapsedTimer>
#include <QTableView>

#include <algorithm>

namespace {
constexpr qint64 kLookUpBatchMs = 10;
} // namespace

void ItemListing::cancelPictures()
{
    m_batchTimer.stop();
    if (!m_waiting.isEmpty())
        m_pipeline.cancel(m_waiting.keys(), kPictureSize);
    m_waiting.clear();
    m_lookUp.clear();
    m_rowPath.clear();
    m_nextLookUp = 0;
    m_lookUpsLeft = 0;
    m_picturesActive = false;
    m_pictureFailure.clear();
}

int ItemListing::picturesPending() const
{
    int waiting = 0;
    for (const QVector<int>& rows : m_waiting)
        waiting += rows.size();
    return m_lookUpsLeft + waiting;
}

// A short listing: every picture in place before the listing ends. The files
// decode in parallel while the next rows are looked up.
void ItemListing::lookUpAllPictures()
{
    QStringList toDecode;
    for (int row = 0; row < m_lookUp.size(); ++row) {
        const bool go = lookUpRow(row, &toDecode);
        m_pipeline.prefetch(toDecode, kPictureSize);
        toDecode.clear();
        if (!go)
            break;
    }
    for (int row = 0; row < m_rowPath.size(); ++row) {
        const QString path = std::exchange(m_rowPath[row], QString());
        if (!path.isEmpty())
            placePicture(row, m_pipeline.thumbnail(path, kPictureSize));
    }
    m_waiting.clear();
}

bool ItemListing::lookUpRow(int row, QStringList* toDecode)
{
    if (row < 0 || row >= m_lookUp.size() || !m_lookUp[row])
        return true;
    const qint32 item = *std::exchange(m_lookUp[row], std::nullopt);
    --m_lookUpsLeft;
    QString path;
    try {
        if (!m_pictures.findPictureFile(item, path))
            return true;
    } catch (const DataError& error) {
        // One unreachable picture database would otherwise cost every row a time-out.
        m_pictureFailure = error.message();
        m_lookUp.fill(std::nullopt);
        m_lookUpsLeft = 0;
        return false;
    }
    if (m_pipeline.isCached(path, kPictureSize)) {
        placePicture(row, m_pipeline.thumbnail(path, kPictureSize));
        return true;
    }
    m_rowPath[row] = path;
    QVector<int>& rows = m_waiting[path];
    if (rows.isEmpty())
        toDecode->append(path);
    rows.append(row);
    return true;
}

void ItemListing::placePicture(int row, const Thumbnail& thumbnail)
{
    // Found but not readable as a picture: a blank image, as the found flag says.
    m_ui.model->setPicture(row, thumbnail.image.isNull() ? m_blank : thumbnail.image);
}

std::pair<int, int> ItemListing::visibleRows() const
{
    const QTableView* grid = m_ui.Flex;
    const int top = grid->rowAt(0);
    if (top < 0)
        return {0, -1};
    int bottom = grid->rowAt(grid->viewport()->height() - 1);
    if (bottom < 0)
        bottom = m_ui.model->rowCount() - 1;
    return {top, bottom};
}

void ItemListing::lookUpBatch()
{
    if (!m_picturesActive)
        return;
    QElapsedTimer batch;
    batch.start();
    QStringList visible;
    QStringList later;
    bool go = true;
    const auto [top, bottom] = visibleRows();
    for (int row = top; go && row <= bottom && batch.elapsed() < kLookUpBatchMs; ++row)
        go = lookUpRow(row, &visible);
    while (go && m_lookUpsLeft > 0 && m_nextLookUp < m_lookUp.size() &&
           batch.elapsed() < kLookUpBatchMs)
        go = lookUpRow(m_nextLookUp++, &later);

    if (!visible.isEmpty())
        m_pipeline.prioritize(visible, kPictureSize);
    if (!later.isEmpty())
        m_pipeline.prefetch(later, kPictureSize);

    if (!m_pictureFailure.isEmpty())
        reportPictureFailure();
    if (m_lookUpsLeft > 0)
        m_batchTimer.start();
    else
        checkPicturesComplete();
}

void ItemListing::prioritizeVisible()
{
    if (m_waiting.isEmpty())
        return;
    const auto [top, bottom] = visibleRows();
    QStringList paths;
    for (int row = top; row <= bottom && row < m_rowPath.size(); ++row) {
        if (!m_rowPath[row].isEmpty())
            paths << m_rowPath[row];
    }
    if (!paths.isEmpty())
        m_pipeline.prioritize(paths, kPictureSize);
}

void ItemListing::pictureDecoded(const QString& path, qint32 picSize, const QImage& image)
{
    Q_UNUSED(image);
    if (picSize != kPictureSize)
        return;
    const auto it = m_waiting.find(path);
    if (it == m_waiting.end())
        return;
    const QVector<int> rows = *it;
    m_waiting.erase(it);
    // From the cache, which also notices a file changed since it was queued.
    const Thumbnail thumbnail = m_pipeline.thumbnail(path, picSize);
    for (int row : rows) {
        if (row < m_rowPath.size())
            m_rowPath[row].clear();
        placePicture(row, thumbnail);
    }
    checkPicturesComplete();
}

void ItemListing::reportPictureFailure()
{
    const QString failure = std::exchange(m_pictureFailure, QString());
    MessageBox::warning(messageParent(),
                        tr("The item pictures could not be looked up in %1, so the items are "
                           "listed without them.\n\n%2")
                            .arg(m_helper.adoGetPic.describe(), failure));
}

void ItemListing::checkPicturesComplete()
{
    if (!m_picturesActive || m_lookUpsLeft > 0 || !m_waiting.isEmpty())
        return;
    m_picturesActive = false;
    emit picturesComplete();
}
