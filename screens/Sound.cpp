#include "screens/Sound.h"

#include <QSoundEffect>
#include <QUrl>

#include <map>
#include <memory>

namespace sound {

void play(const QString& path) {
    // Kept for the whole run and never destroyed: they must not outlive the
    // audio back end during static destruction.
    static auto& effects = *new std::map<QString, std::unique_ptr<QSoundEffect>>;
    static QSoundEffect* playing = nullptr;
    if (playing)
        playing->stop();
    auto& effect = effects[path];
    if (!effect) {
        effect = std::make_unique<QSoundEffect>();
        effect->setSource(QUrl::fromLocalFile(path));
    }
    playing = effect.get();
    effect->play();
}

} // namespace sound
