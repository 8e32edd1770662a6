<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>Die Liste kann nicht aus „%1“ geladen werden: %2.

Die Datei wurde nicht vollständig geladen, daher fragt „Speichern“ nach einem Dateinamen.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>Die Datei „%1“ wurde auf dem Datenträger geändert, seit sie hier geladen oder gespeichert wurde.

„Speichern“ fragt daher nach einem Dateinamen, damit die Änderung nicht unbemerkt überschrieben wird.</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>Die Liste kann nicht in „%1“ gespeichert werden: %2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>alle unterstützten</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>Listendateien</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>Textdateien</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>Keine Datei ausgewählt</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>zur Liste hinzufügen</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Neu</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>&amp;Laden</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>&amp;Speichern</translation>
    </message>
</context>
</TS>
