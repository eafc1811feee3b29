#include "receiver/Component.h"

#include "receiver/RuntimeError.h"

#include <QMetaProperty>

namespace corvane::receiver {

void setPropertyByName(QObject& object, const char* name, const QVariant& value) {
    const QMetaObject* meta = object.metaObject();
    const int at = meta->indexOfProperty(name);
    if (at < 0) {
        throw RuntimeError(RuntimeError::NoSuchProperty,
                           QStringLiteral("Object doesn't support this property or method (%1)")
                               .arg(QString::fromLatin1(name)));
    }
    // write() returns false when the property is read-only or the value is
    // refused; a component that throws from its setter passes that up as is.
    if (!meta->property(at).write(&object, value)) {
        throw RuntimeError::invalidPropertyValue(QString::fromLatin1(name));
    }
}

} // namespace corvane::receiver
