// The "Midi Data" window: a read-only text in a fixed-pitch font into which
// the MIDI monitor appends the hexadecimal listing of a row.
#pragma once

#include <QPlainTextEdit>
#include <string>

#include "platform/QtFormBase.h"

namespace morvelant {

class TMidiDataForm : public TForm {
    Q_OBJECT

public:
    explicit TMidiDataForm(QWidget* parent = nullptr);

    QPlainTextEdit* RichEdit1 = nullptr;

    // Appends a separator line of 50 minus signs and `listing` (bytes of
    // Windows-1252), puts the caret at the end and shows the window.
    void AppendListing(const std::string& listing);
    // The whole text as bytes.
    std::string Text() const;
};

extern TMidiDataForm* MidiDataForm;

}  // namespace morvelant
