<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR" sourcelanguage="en">
<context>
    <name>ArchiveExtractor</name>
    <message>
        <source>the library folder cannot be written</source>
        <translation>impossible d’écrire dans le dossier de la bibliothèque</translation>
    </message>
</context>
<context>
    <name>ArchiveStager</name>
    <message>
        <source>the archive is damaged</source>
        <translation>l’archive est endommagée</translation>
    </message>
    <message>
        <source>the archive holds an unreadable name: %1</source>
        <translation>l’archive contient un nom illisible : %1</translation>
    </message>
    <message>
        <source>the archive holds an unsafe path: %1</source>
        <translation>l’archive contient un chemin dangereux : %1</translation>
    </message>
    <message>
        <source>the archive holds a special file: %1</source>
        <translation>l’archive contient un fichier spécial : %1</translation>
    </message>
    <message>
        <source>the archive holds an encrypted file: %1</source>
        <translation>l’archive contient un fichier chiffré : %1</translation>
    </message>
    <message>
        <source>the archive holds a file in a format this program cannot read: %1</source>
        <translation>l’archive contient un fichier dans un format que ce programme ne sait pas lire : %1</translation>
    </message>
    <message>
        <source>two entries differ only in case: %1 and %2</source>
        <translation>deux éléments ne diffèrent que par les majuscules : %1 et %2</translation>
    </message>
    <message>
        <source>the archive holds %1 both as a file and as a folder</source>
        <translation>l’archive contient %1 à la fois comme fichier et comme dossier</translation>
    </message>
    <message>
        <source>the archive holds two entries named %1</source>
        <translation>l’archive contient deux éléments nommés %1</translation>
    </message>
    <message>
        <source>the archive holds an unsafe link: %1 -&gt; %2</source>
        <translation>l’archive contient un lien dangereux : %1 -&gt; %2</translation>
    </message>
    <message>
        <source>there is not enough free space on the disk</source>
        <translation>il n’y a pas assez de place libre sur le disque</translation>
    </message>
    <message>
        <source>%1 could not be written</source>
        <translation>%1 n’a pas pu être écrit</translation>
    </message>
</context>
<context>
    <name>CatalogRecord</name>
    <message>
        <source>All modules are %1MB to download.</source>
        <translation>En tout : %1 Mo à télécharger.</translation>
    </message>
</context>
<context>
    <name>Download</name>
    <message>
        <source>there is not enough free space on the disk</source>
        <translation>il n’y a pas assez de place libre sur le disque</translation>
    </message>
    <message>
        <source>the library folder cannot be written</source>
        <translation>impossible d’écrire dans le dossier de la bibliothèque</translation>
    </message>
    <message>
        <source>the archive could not be written in the library folder</source>
        <translation>l’archive n’a pas pu être écrite dans le dossier de la bibliothèque</translation>
    </message>
    <message>
        <source>the archive could not be saved in the library folder</source>
        <translation>l’archive n’a pas pu être enregistrée dans le dossier de la bibliothèque</translation>
    </message>
</context>
<context>
    <name>DriveName</name>
    <message>
        <source>a thumb drive cannot hold a name with a control character</source>
        <translation>une clé USB n’accepte pas de nom avec un caractère de contrôle</translation>
    </message>
    <message>
        <source>a thumb drive cannot hold a name with </source>
        <translation>une clé USB n’accepte pas de nom avec </translation>
    </message>
    <message>
        <source>a thumb drive cannot hold a name that ends in a dot</source>
        <translation>une clé USB n’accepte pas de nom qui finit par un point</translation>
    </message>
    <message>
        <source>a thumb drive cannot hold a name that ends in a blank</source>
        <translation>une clé USB n’accepte pas de nom qui finit par une espace</translation>
    </message>
    <message>
        <source>a thumb drive cannot hold a name longer than 255 characters</source>
        <translation>une clé USB n’accepte pas de nom de plus de 255 caractères</translation>
    </message>
    <message>
        <source>Windows keeps the name </source>
        <translation>Windows réserve le nom </translation>
    </message>
    <message>
        <source> for a device</source>
        <translation> à un périphérique</translation>
    </message>
</context>
<context>
    <name>LibraryCopier</name>
    <message>
        <source>Could not copy </source>
        <translation>Impossible de copier </translation>
    </message>
    <message>
        <source> to </source>
        <translation> vers </translation>
    </message>
    <message>
        <source>: </source>
        <translation> : </translation>
    </message>
    <message>
        <source>The drive is full: </source>
        <translation>La clé est pleine : </translation>
    </message>
    <message>
        <source> could not be copied to </source>
        <translation> n’a pas pu être copié vers </translation>
    </message>
    <message>
        <source>, and the copy stops here.</source>
        <translation>, et la copie s’arrête ici.</translation>
    </message>
    <message>
        <source>a thumb drive takes it for </source>
        <translation>une clé USB le confond avec </translation>
    </message>
    <message>
        <source>, as their names differ only in case</source>
        <translation>, car leurs noms ne diffèrent que par les majuscules</translation>
    </message>
    <message>
        <source>it takes </source>
        <translation>il occupe </translation>
    </message>
    <message>
        <source>, and a thumb drive cannot hold a file of 4 GB or more</source>
        <translation>, et une clé USB n’accepte pas de fichier de 4 Go ou plus</translation>
    </message>
    <message>
        <source>Cannot copy </source>
        <translation>Impossible de copier </translation>
    </message>
    <message>
        <source>Copying </source>
        <translation>Copie de </translation>
    </message>
    <message>
        <source>The drive has </source>
        <translation>La clé a </translation>
    </message>
    <message>
        <source> free, and the library needs </source>
        <translation> de libre, et la bibliothèque demande </translation>
    </message>
    <message>
        <source> more: nothing was copied.</source>
        <translation> de plus : rien n’a été copié.</translation>
    </message>
    <message>
        <source>: a link stands in its place on the drive.</source>
        <translation> : un lien occupe sa place sur la clé.</translation>
    </message>
    <message>
        <source>Module Folder already exists: </source>
        <translation>Le dossier des modules existe déjà : </translation>
    </message>
    <message>
        <source>Creating Module Folder: </source>
        <translation>Création du dossier des modules : </translation>
    </message>
    <message>
        <source>it is neither a folder nor a file</source>
        <translation>ce n’est ni un dossier ni un fichier</translation>
    </message>
    <message>
        <source>a link stands in its place on the drive</source>
        <translation>un lien occupe sa place sur la clé</translation>
    </message>
    <message>
        <source>a folder of that name stands in its place on the drive</source>
        <translation>un dossier du même nom occupe sa place sur la clé</translation>
    </message>
    <message>
        <source>the library&apos;s file could not be read</source>
        <translation>le fichier de la bibliothèque n’a pas pu être lu</translation>
    </message>
    <message>
        <source>the drive could not be written</source>
        <translation>impossible d’écrire sur la clé</translation>
    </message>
    <message>
        <source>its old copy on the drive could not be replaced</source>
        <translation>son ancienne copie sur la clé n’a pas pu être remplacée</translation>
    </message>
    <message>
        <source>Removing </source>
        <translation>Suppression de </translation>
    </message>
    <message>
        <source> from </source>
        <translation> de </translation>
    </message>
    <message>
        <source>: the library no longer has it.</source>
        <translation> : la bibliothèque ne l’a plus.</translation>
    </message>
    <message>
        <source>Checking the copy...</source>
        <translation>Vérification de la copie...</translation>
    </message>
    <message>
        <source>: the drive gives back other bytes than were written.</source>
        <translation> : la clé rend d’autres octets que ceux écrits.</translation>
    </message>
</context>
<context>
    <name>LibraryRow</name>
    <message>
        <source>
New Version Available: </source>
        <translation>
Nouvelle version disponible : </translation>
    </message>
    <message>
        <source>
1 file damaged</source>
        <translation>
1 fichier abîmé</translation>
    </message>
    <message>
        <source>
%1 files damaged</source>
        <translation>
%1 fichiers abîmés</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Tavro International Health Education and Information</source>
        <translation>Tavro International – Éducation et information sanitaires</translation>
    </message>
    <message>
        <source>Calyxo logo</source>
        <translation>Logo Calyxo</translation>
    </message>
    <message>
        <source>Homepage</source>
        <translation>Accueil</translation>
    </message>
    <message>
        <source>Latest Modules</source>
        <translation>Derniers modules</translation>
    </message>
    <message>
        <source>Go to Module</source>
        <translation>Voir le module</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot;&gt;&lt;span style=&quot; font-size:12pt; font-weight:600; color:#053da2;&quot;&gt;Trusted health lessons for every community, online or off.&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot;&gt;&lt;span style=&quot; font-size:12pt; font-weight:600; color:#053da2;&quot;&gt;Des leçons de santé fiables pour chaque communauté, avec ou sans Internet.&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>All Modules</source>
        <translation>Tous les modules</translation>
    </message>
    <message>
        <source>Module List</source>
        <translation>Liste des modules</translation>
    </message>
    <message>
        <source>Modules of the letter</source>
        <translation>Modules de la lettre</translation>
    </message>
    <message>
        <source>Module Details</source>
        <translation>Détails du module</translation>
    </message>
    <message>
        <source>Version Details:</source>
        <translation>Version :</translation>
    </message>
    <message>
        <source>Version #</source>
        <translation>Version n°</translation>
    </message>
    <message>
        <source>Package Size:</source>
        <translation>Taille :</translation>
    </message>
    <message>
        <source>0 MB</source>
        <translation>0 Mo</translation>
    </message>
    <message>
        <source>Module description</source>
        <translation>Description du module</translation>
    </message>
    <message>
        <source>Download progress</source>
        <translation>Avancement du téléchargement</translation>
    </message>
    <message>
        <source>Download Module</source>
        <translation>Télécharger</translation>
    </message>
    <message>
        <source>Open Your Library</source>
        <translation>Ma bibliothèque</translation>
    </message>
    <message>
        <source>Modules by Topic</source>
        <translation>Modules par thème</translation>
    </message>
    <message>
        <source>Categories</source>
        <translation>Catégories</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Catégorie</translation>
    </message>
    <message>
        <source>Topics</source>
        <translation>Thèmes</translation>
    </message>
    <message>
        <source>Topic</source>
        <translation>Thème</translation>
    </message>
    <message>
        <source>Modules</source>
        <translation>Modules</translation>
    </message>
    <message>
        <source>Modules of the topic</source>
        <translation>Modules du thème</translation>
    </message>
    <message>
        <source>Download All</source>
        <translation>Tout télécharger</translation>
    </message>
    <message>
        <source>Modules in Your Library</source>
        <translation>Ma bibliothèque</translation>
    </message>
    <message>
        <source>My Modules</source>
        <translation>Mes modules</translation>
    </message>
    <message>
        <source>Modules in your library</source>
        <translation>Modules de votre bibliothèque</translation>
    </message>
    <message>
        <source>Update Checked Modules</source>
        <translation>Mettre à jour</translation>
    </message>
    <message>
        <source>Update progress</source>
        <translation>Avancement de la mise à jour</translation>
    </message>
    <message>
        <source>Create USB</source>
        <translation>Créer la clé USB</translation>
    </message>
    <message>
        <source>Step 1 - Insert your Thumb Drive</source>
        <translation>Étape 1 - Branchez votre clé USB</translation>
    </message>
    <message>
        <source>Insert your thumb drive (USB Storage) into your computer.</source>
        <translation>Branchez votre clé USB sur votre ordinateur.</translation>
    </message>
    <message>
        <source>A USB thumb drive</source>
        <translation>Une clé USB</translation>
    </message>
    <message>
        <source>Step 2 - Select your Thumb Drive</source>
        <translation>Étape 2 - Choisissez votre clé USB</translation>
    </message>
    <message>
        <source>Choose your thumb drive (USB Storage)</source>
        <translation>Choisissez votre clé USB</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Choisir</translation>
    </message>
    <message>
        <source>Step 3 - Create USB</source>
        <translation>Étape 3 - Créez la clé USB</translation>
    </message>
    <message>
        <source>Click Create to copy your Modules to the thumb drive</source>
        <translation>Créer copie vos modules sur la clé USB</translation>
    </message>
    <message>
        <source>Create</source>
        <translation>Créer</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Journal</translation>
    </message>
    <message>
        <source>Tavro International logo</source>
        <translation>Logo de Tavro International</translation>
    </message>
    <message>
        <source>Modules copied!</source>
        <translation>Modules copiés !</translation>
    </message>
    <message>
        <source>The copy is incomplete: 1 file could not be copied.</source>
        <translation>La copie est incomplète : 1 fichier n’a pas pu être copié.</translation>
    </message>
    <message>
        <source>The copy is incomplete: %1 files could not be copied.</source>
        <translation>La copie est incomplète : %1 fichiers n’ont pas pu être copiés.</translation>
    </message>
    <message>
        <source>Module List (%1)</source>
        <translation>Liste des modules (%1)</translation>
    </message>
    <message>
        <source>Downloading Module %1</source>
        <translation>Téléchargement du module %1</translation>
    </message>
    <message>
        <source>Updating Module Id %1</source>
        <translation>Mise à jour du module %1</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>Stop the download</source>
        <translation>Arrêter le téléchargement</translation>
    </message>
    <message>
        <source>;Name;Version;Size;Id</source>
        <translation>;Nom;Version;Taille;Id</translation>
    </message>
    <message>
        <source>Choose Directory</source>
        <translation>Choisir un dossier</translation>
    </message>
    <message>
        <source>Choose your thumb drive first: no folder is selected.</source>
        <translation>Choisissez d’abord votre clé USB : aucun dossier n’est choisi.</translation>
    </message>
    <message>
        <source>Creating Module Folder: </source>
        <translation>Création du dossier des modules : </translation>
    </message>
</context>
<context>
    <name>NetworkFailure</name>
    <message>
        <source>the catalogue stopped answering</source>
        <translation>le catalogue ne répond plus</translation>
    </message>
    <message>
        <source>the connection was cut</source>
        <translation>la connexion a été coupée</translation>
    </message>
    <message>
        <source>the catalogue did not answer</source>
        <translation>le catalogue n’a pas répondu</translation>
    </message>
    <message>
        <source>the proxy did not answer</source>
        <translation>le proxy n’a pas répondu</translation>
    </message>
    <message>
        <source>the catalogue&apos;s certificate is not trusted</source>
        <translation>le certificat du catalogue n’est pas reconnu</translation>
    </message>
    <message>
        <source>the download link is not valid</source>
        <translation>le lien de téléchargement n’est pas valide</translation>
    </message>
    <message>
        <source>the transfer failed</source>
        <translation>le transfert a échoué</translation>
    </message>
    <message>
        <source>the proxy asks for a user name and password</source>
        <translation>le proxy demande un nom d’utilisateur et un mot de passe</translation>
    </message>
    <message>
        <source>the catalogue answered %1</source>
        <translation>le catalogue a répondu %1</translation>
    </message>
</context>
<context>
    <name>StagedInstall</name>
    <message>
        <source>a folder stands where the archive has a file: %1</source>
        <translation>un dossier se trouve là où l’archive a un fichier : %1</translation>
    </message>
    <message>
        <source>a file stands where the archive has a folder: %1</source>
        <translation>un fichier se trouve là où l’archive a un dossier : %1</translation>
    </message>
    <message>
        <source>%1 could not be replaced</source>
        <translation>%1 n’a pas pu être remplacé</translation>
    </message>
    <message>
        <source>%1 could not be moved into the library</source>
        <translation>%1 n’a pas pu être placé dans la bibliothèque</translation>
    </message>
</context>
<context>
    <name>StatusLine</name>
    <message>
        <source>Could not download %1: %2</source>
        <translation>Impossible de télécharger %1 : %2</translation>
    </message>
    <message>
        <source>Downloading %1: %2; trying again in %3 s (%4 of %5)</source>
        <translation>Téléchargement de %1 : %2 ; nouvel essai dans %3 s (%4 sur %5)</translation>
    </message>
    <message>
        <source>Stopped %1</source>
        <translation>%1 arrêté</translation>
    </message>
    <message>
        <source>Stopped %1 at %2 %; it will go on from there</source>
        <translation>%1 arrêté à %2 % ; il reprendra à partir de là</translation>
    </message>
    <message>
        <source>%1 is installed</source>
        <translation>%1 est installé</translation>
    </message>
    <message>
        <source>%1 %2 is installed</source>
        <translation>%1 %2 est installé</translation>
    </message>
    <message>
        <source>the archive could not be unpacked</source>
        <translation>l’archive n’a pas pu être décompressée</translation>
    </message>
    <message>
        <source>Could not install %1: %2</source>
        <translation>Impossible d’installer %1 : %2</translation>
    </message>
    <message>
        <source>Could not install %1: the library index could not be written</source>
        <translation>Impossible d’installer %1 : la liste de la bibliothèque n’a pas pu être enregistrée</translation>
    </message>
    <message>
        <source>Could not load the catalogue: %1</source>
        <translation>Impossible de charger le catalogue : %1</translation>
    </message>
    <message>
        <source>; trying again in %1 s</source>
        <translation> ; nouvel essai dans %1 s</translation>
    </message>
    <message>
        <source>Could not update %1: the catalogue does not list it</source>
        <translation>Impossible de mettre à jour %1 : le catalogue ne le propose plus</translation>
    </message>
</context>
<context>
    <name>TopicChoice</name>
    <message>
        <source>All categories</source>
        <translation>Toutes les catégories</translation>
    </message>
    <message>
        <source>All topics</source>
        <translation>Tous les thèmes</translation>
    </message>
</context>
</TS>
