<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>Impossible de charger la liste depuis «&#xa0;%1&#xa0;»&#xa0;: %2.

Le fichier n’a pas été chargé en entier&#xa0;; «&#xa0;Enregistrer&#xa0;» demandera donc un nom de fichier.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>Le fichier «&#xa0;%1&#xa0;» a été modifié sur le disque depuis qu’il a été chargé ou enregistré ici.

«&#xa0;Enregistrer&#xa0;» demandera donc un nom de fichier, afin que la modification ne soit pas écrasée à votre insu.</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>Impossible d’enregistrer la liste dans «&#xa0;%1&#xa0;»&#xa0;: %2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>tous les formats pris en charge</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>fichiers de liste</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>fichiers texte</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>Aucun fichier sélectionné</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>Erreur</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>ajouter à la liste</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>&amp;Charger</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>&amp;Enregistrer</translation>
    </message>
</context>
</TS>
