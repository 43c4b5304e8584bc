STRING
DEL fox
ADD ant
ADD fox
ADD dog
ADD bee
DEL ant
DEL dog
ADD ant
ADD dog
ADD eel
ADD jay
ADD cat
ADD dog
ADD bee
DEL hen
ADD fox
ADD fox
DEL lark eel
ADD ibis
ADD hen
ADD bee
ADD fox
DEL ant ibis
DEL jay
DEL fox
DEL jay bee
ADD eel
DEL ant
DEL jay
DEL eel
ADD fox
DEL cat
DEL dog
ADD dog
ADD hen
ADD ibis
DEL gnu
DEL gnu
DEL gnu
ADD cat
ADD ant
ADD eel
ADD ibis
DEL cat
DEL jay
DEL hen
DEL kiwi
ADD gnu
ADD gnu dog
ADD hen
ADD ant
ADD ibis
ADD ant
ADD gnu
DEL fox
DEL bee
ADD hen
ADD cat
ADD eel
ADD ibis
ADD ibis
DEL ant
DEL kiwi
ADD eel
DEL fox
ADD ibis
DEL dog
DEL lark
ADD hen ant
ADD eel
DEL jay
DEL lark
ADD fox
ADD hen
DEL jay
ADD ant
ADD kiwi
DEL gnu
DEL hen
ADD kiwi
ADD lark
DEL bee
ADD cat
DEL hen
DEL jay
ADD fox
ADD ant
ADD kiwi
ADD cat
ADD dog
ADD ibis
ADD eel
DEL ant
DEL hen
ADD ibis
ADD ibis
ADD ibis
DEL cat
ADD cat
ADD lark kiwi
ADD ibis
DEL bee dog
ADD eel hen
ADD ibis
ADD bee
DEL ibis
ADD eel
ADD hen
DEL ibis
DEL eel
DEL dog
ADD bee
ADD kiwi kiwi
DEL eel
DEL cat
ADD fox
ADD hen
DEL gnu
DEL kiwi
DEL gnu
ADD gnu
ADD lark
ADD hen fox
DEL ibis
ADD bee
DEL dog
ADD eel
ADD cat
DEL gnu
ADD eel
ADD ibis
ADD bee
ADD cat ant
ADD kiwi
DEL jay bee
ADD hen
DEL gnu
ADD cat
DEL bee
ADD cat
ADD eel
ADD hen
DEL fox
ADD ant
DEL ibis
DEL dog
ADD kiwi
DEL gnu
DEL dog
DEL lark
DEL fox
ADD ant
ADD eel kiwi
DEL gnu
ADD eel
ADD ant
ADD hen
DEL fox
ADD dog
ADD dog gnu
ADD bee
ADD dog
ADD bee gnu
ADD jay eel
ADD kiwi
DEL ibis
DEL lark
DEL fox
DEL eel
DEL ant
DEL ibis
ADD ibis
ADD ibis
DEL ant
DEL lark
ADD dog kiwi
DEL fox
ADD hen
ADD kiwi
ADD eel
DEL lark
DEL bee lark
ADD hen eel
DEL dog
DEL lark
ADD gnu
DEL eel
ADD kiwi
ADD fox
DEL eel
ADD hen
ADD kiwi
ADD hen
ADD hen
ADD ibis
ADD hen
DEL ibis
ADD eel
ADD dog lark
ADD ibis
