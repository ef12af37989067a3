<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The program's texts are English already; this catalogue gives the
     singular and plural of every sentence that counts something. -->
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Messages</name>
    <message numerus="yes">
        <source>%1 of %n file(s) failed.</source>
        <translation>
            <numerusform>%1 of %n file failed.</numerusform>
            <numerusform>%1 of %n files failed.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) converted</source>
        <translation>
            <numerusform>%n file converted</numerusform>
            <numerusform>%n files converted</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Stopped: %n file(s) not begun.</source>
        <translation>
            <numerusform>Stopped: %n file not begun.</numerusform>
            <numerusform>Stopped: %n files not begun.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n failed</source>
        <translation>
            <numerusform>%n failed</numerusform>
            <numerusform>%n failed</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n converted only in part</source>
        <translation>
            <numerusform>%n converted only in part</numerusform>
            <numerusform>%n converted only in part</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) could be converted only in part.</source>
        <translation>
            <numerusform>%n file could be converted only in part.</numerusform>
            <numerusform>%n files could be converted only in part.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> The details list the first %n with their reasons.</source>
        <translation>
            <numerusform> The details list the first %n with its reason.</numerusform>
            <numerusform> The details list the first %n with their reasons.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> The details list the first %n.</source>
        <translation>
            <numerusform> The details list the first %n.</numerusform>
            <numerusform> The details list the first %n.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) were left out: their names are not valid UTF-8 text, so they cannot be passed to the encoder.</source>
        <translation>
            <numerusform>%n file was left out: its name is not valid UTF-8 text, so it cannot be passed to the encoder.</numerusform>
            <numerusform>%n files were left out: their names are not valid UTF-8 text, so they cannot be passed to the encoder.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n folder(s) could not be entered: their names are not valid UTF-8 text, so the files below them are not listed.</source>
        <translation>
            <numerusform>%n folder could not be entered: its name is not valid UTF-8 text, so the files below it are not listed.</numerusform>
            <numerusform>%n folders could not be entered: their names are not valid UTF-8 text, so the files below them are not listed.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n folder(s) could not be read: the files below them are not listed.</source>
        <translation>
            <numerusform>%n folder could not be read: the files below it are not listed.</numerusform>
            <numerusform>%n folders could not be read: the files below them are not listed.</numerusform>
        </translation>
    </message>
</context>
</TS>
