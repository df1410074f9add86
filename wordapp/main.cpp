#include <QApplication>
#include <QDialog>

#include "word_database.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  quorvo::WordDatabase db;
  db.Open("dict_main.db");
  QDialog window;
  window.setWindowTitle("quorvo");
  window.resize(690, 520);
  window.show();
  return app.exec();
}
