#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>

// The choices of the topic view: the fixed categories and the topics offered under each.
namespace TopicChoice {

// The entry of the category selector that offers every topic.
QString allCategories();
// The entry of the topic selector that stands for no topic, that is for every module.
QString allTopics();

// The entries of the category selector, in display order; a topic record's "category" must
// equal one of them, exactly, to be offered under it.
QStringList categories();

// The names of the topics offered under category, each once, sorted by UTF-16 code units
// (so upper case sorts before lower case); under allCategories() every topic is offered.
QStringList topicNamesUnder(const QJsonArray &topics, const QString &category);

} // namespace TopicChoice
