<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl_PL">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>Nie można wczytać listy z „%1”: %2.

Plik nie został wczytany w całości, więc „Zapisz listę” zapyta o nazwę pliku.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>Plik „%1” został zmieniony na dysku od czasu wczytania lub zapisania go tutaj.

„Zapisz listę” zapyta więc o nazwę pliku, aby zmiana nie została niepostrzeżenie nadpisana.</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>Nie można zapisać listy do „%1”: %2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>wszystkie obsługiwane</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>pliki list</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>pliki tekstowe</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>Nie wybrano pliku</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>Błąd</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>dodaj do listy</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Dod.</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>&amp;Wczytaj listę</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>&amp;Zapisz listę</translation>
    </message>
</context>
</TS>
