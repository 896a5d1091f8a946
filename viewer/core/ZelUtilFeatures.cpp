#include "ZelUtil.h"

#include "ZelSdkLoader.h"
#include "ZelTrace.h"

#include <QByteArray>

#include <cmath>
#include <cstring>

namespace {

const char* const getName = "ZelUtil::GetFeatureValue";
const char* const setName = "ZelUtil::SetFeatureValue";

// Both handles given; otherwise traced as an invalid parameter.
bool validHandles(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const char* function, int* failedCode)
{
    if (module && feature)
        return true;
    ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Invalid parameter", function);
    if (failedCode)
        *failedCode = ORV_ERROR_INVALID_ARGUMENT;
    return false;
}

bool isText(const QVariant& value)
{
    const int type = value.userType();
    return type == QMetaType::QString || type == QMetaType::QByteArray || type == QMetaType::QChar;
}

bool toInt64(const QVariant& value, qint64& out)
{
    if (!value.isValid())
        return false;
    bool ok = false;
    if (isText(value)) {
        out = value.toString().trimmed().toLongLong(&ok);
        return ok;
    }
    if (value.userType() == QMetaType::Double || value.userType() == QMetaType::Float) {
        const double number = value.toDouble();
        if (!std::isfinite(number) || number < -9.2e18 || number > 9.2e18)
            return false;
    }
    out = value.toLongLong(&ok);
    return ok;
}

// Only texts that say true or false; "off", "no" or "abc" do not convert.
bool toBool(const QVariant& value, bool& out)
{
    if (!value.isValid())
        return false;
    if (!isText(value)) {
        if (!value.canConvert<bool>())
            return false;
        out = value.toBool();
        return true;
    }
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        out = true;
        return true;
    }
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        out = false;
        return true;
    }
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok)
        return false;
    out = number != 0;
    return true;
}

bool toDouble(const QVariant& value, double& out)
{
    if (!value.isValid())
        return false;
    bool ok = false;
    double number = isText(value) ? ZelUtil::StringToDouble(value.toString().trimmed(), &ok) : value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return false;
    out = number;
    return true;
}

bool readInfo(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, ORV_FEATURE_INFO& info, const char* function,
              int* failedCode)
{
    std::memset(&info, 0, sizeof info);
    const int rc = OrvFeatureGetInfo(module, feature, &info);
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureGetInfo:%d", function, rc);
        if (failedCode)
            *failedCode = rc;
        return false;
    }
    return true;
}

ORV_FEATURE_HANDLE lookUp(ORV_MODULE_HANDLE module, const char* name, const char* function)
{
    if (!module || !name) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Invalid parameter", function);
        return 0;
    }
    ORV_FEATURE_HANDLE feature = 0;
    const int rc = OrvFeatureGetByName(module, name, &feature);
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureGetByName:%d", function, rc);
        return 0;
    }
    if (!feature)
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Invalid parameter", function);
    return feature;
}

} // namespace

bool ZelUtil::GetFeatureValue(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, QVariant& value, bool passFlag1,
                              bool passFlag2, int* failedCode)
{
    if (failedCode)
        *failedCode = ORV_SUCCESS;
    ORV_FEATURE_INFO info;
    if (!validHandles(module, feature, getName, failedCode) || !readInfo(module, feature, info, getName, failedCode))
        return false;
    if (!info.isAvailable || !info.isReadable) {
        value = QVariant();
        return true;
    }

    const QByteArray displayName = ZelUtil::RecordText(info.displayName).toUtf8();
    int rc = ORV_SUCCESS;
    const char* call = nullptr;
    QVariant result;
    switch (info.interfaceType) {
    case ORV_FEATURE_TYPE_INTEGER: {
        int64_t number = 0;
        rc = OrvFeatureGetValueInt64(module, feature, &number, passFlag1, passFlag2);
        // -1005: the value is delivered, only outside the current range.
        if (rc == ORV_WARNING_OUT_OF_RANGE)
            rc = ORV_SUCCESS;
        call = "OrvFeatureGetValueInt64";
        result = QVariant(qlonglong(number));
        break;
    }
    case ORV_FEATURE_TYPE_BOOLEAN: {
        bool flag = false;
        rc = OrvFeatureGetValueBool(module, feature, &flag, false, false);
        call = "OrvFeatureGetValueBool";
        result = QVariant(flag);
        break;
    }
    case ORV_FEATURE_TYPE_FLOAT: {
        double number = 0.0;
        rc = OrvFeatureGetValueFloat(module, feature, &number, passFlag1, passFlag2);
        call = "OrvFeatureGetValueFloat";
        result = QVariant(number);
        break;
    }
    case ORV_FEATURE_TYPE_STRING: {
        char buffer[ORV_TEXT_SIZE] = {};
        rc = OrvFeatureGetValueString(module, feature, buffer, sizeof buffer, passFlag1, passFlag2);
        call = "OrvFeatureGetValueString";
        result = QVariant(ZelUtil::RecordText(buffer));
        break;
    }
    case ORV_FEATURE_TYPE_ENUMERATION: {
        int64_t number = 0;
        rc = OrvFeatureGetValueInt64Enum(module, feature, &number, passFlag1, false);
        call = "OrvFeatureGetValueInt64Enum";
        result = QVariant(qlonglong(number));
        break;
    }
    default:
        // Commands, categories and registers have no value to read.
        return true;
    }
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! %s:%s %d", getName, call, displayName.constData(), rc);
        if (failedCode)
            *failedCode = rc;
        return false;
    }
    value = result;
    return true;
}

bool ZelUtil::GetFeatureValue(ORV_MODULE_HANDLE module, const char* name, QVariant& value, bool passFlag1,
                              bool passFlag2)
{
    const ORV_FEATURE_HANDLE feature = lookUp(module, name, getName);
    return feature && GetFeatureValue(module, feature, value, passFlag1, passFlag2);
}

bool ZelUtil::SetFeatureValue(ORV_MODULE_HANDLE module, ORV_FEATURE_HANDLE feature, const QVariant& value,
                              bool passFlag, int* failedCode)
{
    if (failedCode)
        *failedCode = ORV_SUCCESS;
    ORV_FEATURE_INFO info;
    if (!validHandles(module, feature, setName, failedCode) || !readInfo(module, feature, info, setName, failedCode))
        return false;

    const QByteArray displayName = ZelUtil::RecordText(info.displayName).toUtf8();
    bool converted = true;
    int rc = ORV_SUCCESS;
    const char* call = nullptr;
    switch (info.interfaceType) {
    case ORV_FEATURE_TYPE_INTEGER:
    case ORV_FEATURE_TYPE_ENUMERATION: {
        qint64 number = 0;
        converted = toInt64(value, number);
        if (!converted)
            break;
        if (info.interfaceType == ORV_FEATURE_TYPE_INTEGER) {
            call = "OrvFeatureSetValueInt64";
            rc = OrvFeatureSetValueInt64(module, feature, number, passFlag);
        } else {
            call = "OrvFeatureSetValueInt64Enum";
            rc = OrvFeatureSetValueInt64Enum(module, feature, number, passFlag);
        }
        break;
    }
    case ORV_FEATURE_TYPE_BOOLEAN: {
        bool flag = false;
        converted = toBool(value, flag);
        if (converted) {
            call = "OrvFeatureSetValueBool";
            rc = OrvFeatureSetValueBool(module, feature, flag, passFlag);
        }
        break;
    }
    case ORV_FEATURE_TYPE_COMMAND:
        // The value does not matter: a command is executed.
        rc = OrvFeatureCommandExecute(module, feature, 2000, false);
        if (rc != ORV_SUCCESS) {
            ZelTrace(ZEL_TRACE_ERROR, "%s Failed! OrvFeatureCommandExecute  %d", setName, rc);
            if (failedCode)
                *failedCode = rc;
            return false;
        }
        return true;
    case ORV_FEATURE_TYPE_FLOAT: {
        double number = 0.0;
        converted = toDouble(value, number);
        if (converted) {
            call = "OrvFeatureSetValueFloat";
            rc = OrvFeatureSetValueFloat(module, feature, number, passFlag);
        }
        break;
    }
    case ORV_FEATURE_TYPE_STRING: {
        converted = value.isValid() && value.canConvert<QString>();
        if (converted) {
            const QByteArray text = value.toString().toUtf8();
            call = "OrvFeatureSetValueString";
            rc = OrvFeatureSetValueString(module, feature, text.constData(), passFlag);
        }
        break;
    }
    default:
        return true;
    }
    if (!converted) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! Value not convertible:%s %s", setName, displayName.constData(),
                 value.toString().toUtf8().constData());
        if (failedCode)
            *failedCode = ORV_ERROR_INVALID_ARGUMENT;
        return false;
    }
    if (rc != ORV_SUCCESS) {
        ZelTrace(ZEL_TRACE_ERROR, "%s Failed! %s:%s %d", setName, call, displayName.constData(), rc);
        if (failedCode)
            *failedCode = rc;
        return false;
    }
    return true;
}

bool ZelUtil::SetFeatureValue(ORV_MODULE_HANDLE module, const char* name, const QVariant& value, bool passFlag)
{
    const ORV_FEATURE_HANDLE feature = lookUp(module, name, setName);
    return feature && SetFeatureValue(module, feature, value, passFlag);
}
