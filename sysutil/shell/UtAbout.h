#pragma once
// TUtShellAbout: the system's About box with a caption, a title line, a free text and an icon
// supplied by the program. The box is a modal form of the class library: the part of the title
// before "#" is its window title (the program's name when empty), the part after "#" its first
// line, then the system's own lines, the free text, and the given icon or the icon theme's
// application icon; OK closes it.

#include <memory>
#include <string>

#include "sysutil/ShBase.h"

namespace framework {
class TIcon;
class TWinControl;
}  // namespace framework

namespace sysutil {

// Shows the About box modally; non-zero once it was shown. Icon may be null or empty (the theme's
// application icon is shown then).
int ShellAbout(framework::TWinControl* Owner, const std::string& Title, const std::string& OtherStuff,
               const framework::TIcon* Icon);

class TUtCustomShellAbout : public TShShellComponent {
public:
    explicit TUtCustomShellAbout(framework::TComponent* AOwner);
    ~TUtCustomShellAbout() override;

    // Shows the box modally; non-zero when it was shown.
    int Execute();

protected:
    // The call of the box, with the title put together ("Caption#TitleText").
    virtual int DoShellAbout(framework::TWinControl* Owner, const std::string& Title,
                             const std::string& OtherStuff, const framework::TIcon* Icon);

    std::string FAdditionalText;
    std::string FCaption;
    std::string FTitleText;
    std::unique_ptr<framework::TIcon> FIcon;
};

class TUtShellAbout : public TUtCustomShellAbout {
public:
    using TUtCustomShellAbout::TUtCustomShellAbout;

    const std::string& AdditionalText() const { return FAdditionalText; }
    void SetAdditionalText(const std::string& Value) { FAdditionalText = Value; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value) { FCaption = Value; }
    const std::string& TitleText() const { return FTitleText; }
    void SetTitleText(const std::string& Value) { FTitleText = Value; }
    framework::TIcon* Icon() const { return FIcon.get(); }
    // Copies the icon: the caller keeps its own.
    void SetIcon(const framework::TIcon* Value);
};

}  // namespace sysutil
