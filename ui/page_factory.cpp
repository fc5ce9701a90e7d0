#include "ui/page_factory.h"

#include <QMutex>
#include <map>

namespace tendrix::ui {
namespace {

struct Registry {
    QMutex mutex;
    std::map<QString, PageFactory::Creator> creators;
};

Registry& registry() {
    static Registry r;
    return r;
}

}  // namespace

void PageFactory::Register(const QString& name, Creator creator) {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.creators[name] = std::move(creator);
}

bool PageFactory::Has(const QString& name) {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    return r.creators.count(name) != 0;
}

QWidget* PageFactory::Create(const QString& name, QWidget* parent) {
    Creator c;
    {
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        auto it = r.creators.find(name);
        if (it == r.creators.end()) return nullptr;
        c = it->second;
    }
    return c ? c(parent) : nullptr;
}

QStringList PageFactory::Names() {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    QStringList names;
    for (const auto& [name, c] : r.creators) names << name;
    return names;
}

}  // namespace tendrix::ui
