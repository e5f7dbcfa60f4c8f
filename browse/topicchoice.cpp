#include "browse/topicchoice.h"

#include "browse/catalogrecord.h"

#include <QCoreApplication>

#include <algorithm>

namespace TopicChoice {

QString allCategories()
{
    return QCoreApplication::translate("TopicChoice", "All categories");
}

QString allTopics()
{
    return QCoreApplication::translate("TopicChoice", "All topics");
}

QStringList categories()
{
    return {allCategories(),
            QStringLiteral("Body Location and Systems"),
            QStringLiteral("Disorders and Conditions"),
            QStringLiteral("Diagnosis and Therapy"),
            QStringLiteral("Demographic Groups"),
            QStringLiteral("Health and Wellness"),
            QStringLiteral("Language Translations"),
            QStringLiteral("Special Series")};
}

QStringList topicNamesUnder(const QJsonArray &topics, const QString &category)
{
    const bool everyTopic = category == allCategories();
    QStringList names;
    for (const QJsonValue &value : topics) {
        const CatalogRecord topic(value);
        if (everyTopic || topic.category() == category)
            names.append(topic.name());
    }
    names.removeDuplicates();
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace TopicChoice
