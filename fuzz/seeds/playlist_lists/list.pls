[playlist]
NumberOfEntries=2
File2=b.mp3
File1=Sub\a.mp3
Title1=A
Length1=-1
Version=2
