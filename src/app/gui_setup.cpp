#include "app/gui_setup.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

void setup_application_look(QApplication& app) {
    Q_INIT_RESOURCE(melo_resources);
    app.setStyle(QStyleFactory::create("Fusion"));
    QFont font("Liberation Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    app.setFont(font);
}
