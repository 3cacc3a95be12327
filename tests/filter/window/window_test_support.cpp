#include "tests/filter/window/window_test_support.h"

#include "filter/frame_filter.h"
#include "filter/window/tform2.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "report/window/tform3.h"

MessageRecorder::MessageRecorder() { RegisterMessageSeam(this); }
MessageRecorder::~MessageRecorder() { RegisterMessageSeam(nullptr); }

void MessageRecorder::ShowMessage(std::string_view text)
{
    ShowMessageBox(text, kApplicationTitle);
}

void MessageRecorder::ShowMessageBox(std::string_view text, std::string_view caption)
{
    messages.push_back({std::string(text), std::string(caption)});
    if (whileShown)
        whileShown();
}

Windows::Windows()
{
    PublishFilters(FrameFilter{}, FrameFilter{});
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form5 = new TForm5;
    Form6 = new TForm6;
}

Windows::~Windows()
{
    delete Form6;
    delete Form5;
    delete Form4;
    delete Form3;
    delete Form2;
    Form2 = nullptr;
    Form3 = nullptr;
    Form4 = nullptr;
    Form5 = nullptr;
    Form6 = nullptr;
}
