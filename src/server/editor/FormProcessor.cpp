#include "server/editor/FormProcessor.h"

#include "platform/ProgramContext.h"
#include "server/editor/ActionReport.h"
#include "server/editor/FavouritesEditor.h"
#include "server/editor/FormPieces.h"
#include "server/editor/FormRecord.h"

#include <QDateTime>

namespace vistrel::server {

bool isFormAddress(QByteArrayView path)
{
    return path.compare(kEditorAddress, Qt::CaseInsensitive) == 0
           || path.compare(kHistoryAddress, Qt::CaseInsensitive) == 0;
}

FormProcessor::FormProcessor(platform::ProgramContext &context, TitleFetch fetchTitle)
    : m_context(context), m_fetchTitle(std::move(fetchTitle))
{
}

QByteArray FormProcessor::process(const PostedForm &form)
{
    ActionReport report;
    // The body ends at its first zero byte, as a text does.
    const std::string_view body(form.body.constData(), qstrnlen(form.body.constData(), form.body.size()));
    std::vector<std::string_view> pieces;
    int resultCount = 0;

    if (form.path.compare(kEditorAddress, Qt::CaseInsensitive) == 0) {
        pieces = splitFormPieces(body);
        resultCount = int(pieces.size());
        FavouritesEditor editor(m_context, report);
        for (const std::string_view piece : pieces)
            editor.applyPiece(piece);
    } else {
        const std::size_t equals = body.find('=');
        if (equals != std::string::npos && equals >= 1) {
            HistoryFavourite(m_context, m_fetchTitle, report).add(body.substr(0, equals));
            resultCount = 1;
        }
    }

    const std::string record = formRecordLine(QDateTime::currentDateTime(), resultCount, form.clientAddress,
                                              report.lines());
    if (!writeFormValues(m_context.paths.valuesLogPath(), pieces))
        m_context.display.write(QStringLiteral("*** Unable to write values.log ***"));
    if (!appendFormRecord(m_context.paths.formRecordPath(), record))
        m_context.display.write(QStringLiteral("*** Unable to write CgiFrm1.txt ***"));
    return formReportAnswer(form.version, record);
}

} // namespace vistrel::server
