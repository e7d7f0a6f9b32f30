// The one file of the records that includes the version header, which changes at every commit.
#include "records/record_fields.h"
#include "version/version.h"

namespace records {

QString SoftwareVersion() {
    return QStringLiteral(SURGE_VERSION_TEXT);
}

}  // namespace records
