#include "job/riptags.h"

#include "convert/audioconvertclient.h"

void SetTrackTags(AudioConvertLib::IAudioConvertInformation &info,
                  const TTrackInfo &track,
                  const RipTagFields &tags)
{
    info.SetTagTitle(track.Title);
    info.SetTagTrack(int16_t(track.Number));
    info.SetTagArtist(track.Artist);
    // An empty year or genre writes none, rather than the last job's.
    info.SetTagYear(tags.year.isEmpty() ? 0 : tags.year.toInt());
    info.SetTagAlbum(tags.album);
    info.SetTagGenre(tags.genre.isEmpty() ? -1 : tags.genreIndex);
    info.SetTagGenreText(tags.genreIndex < 0 ? tags.genre.trimmed() : QString());
    info.SetTagComment(tags.comment);
    info.SetTagCopyright(tags.copyright);
    info.SetTagUrl(tags.url);
    info.SetTagEncodedBy(tags.encodedBy);
    info.SetTagRelease(track.Release);
}

bool FillTrackTags(TAudioConvert *convert,
                   AudioConvertLib::IAudioConvertInformation *info,
                   const TTrackInfo &track,
                   const RipTagFields &tags)
{
    if (!convert || !convert->WriteTags() || !info)
        return false;
    SetTrackTags(*info, track, tags);
    return true;
}

void WriteFileTags(TAudioConvert *convert,
                   AudioConvertLib::IAudioConvertInformation *info,
                   const TTrackInfo &track,
                   const RipTagFields &tags,
                   bool flac)
{
    if (!FillTrackTags(convert, info, track, tags))
        return;
    using AudioConvertLib::TLosslessFormat;
    AudioConvertLib::WriteLosslessTags(track.FileName,
                                       flac ? TLosslessFormat::Flac : TLosslessFormat::Ape,
                                       *info);
}
